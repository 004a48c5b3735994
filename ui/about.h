#pragma once
// The about window: the application's title, its version and build, the maker's home page and support
// address as links, and the legal notice. The main window makes it on first use and shows it modally.
#include <QDialog>
#include <QString>
#include <optional>
#include <string>

class QLabel;
class QPushButton;

// The maker's addresses, on a reserved example domain.
inline constexpr const char* HomePageUrl = "https://www.zarnok.example/tolvane";
inline constexpr const char* SupportEmail = "support@zarnok.example";
inline constexpr const char* MakerNotice = "Copyright (C) 2026 Zarnok Software";

// The version the program was built as: four numbers from the project, empty when none was compiled in.
std::string ProgramVersion();

// What the two version labels show for a version value.
struct TVersionCaptions {
  QString version;               // "No info" for an empty value
  std::optional<QString> build;  // "(Build n)"; none: the build label keeps its caption
};
// Splits value at every ".": the version is the first n - 2 parts joined by "." (the first part alone
// with three parts or fewer), the build is the last part. A value without a dot is all version.
TVersionCaptions VersionCaptions(const std::string& value);

class TaboutFrm : public QDialog {
  Q_OBJECT
 public:
  explicit TaboutFrm(QWidget* parent = nullptr);

  // Sets the two version labels from value, as the window does with the program's own version.
  void ShowVersion(const std::string& value);

  QLabel* Image1 = nullptr;
  QLabel* titleLabel = nullptr;
  QLabel* versionLabel = nullptr;
  QLabel* versionLabel2 = nullptr;
  QLabel* buildLabel = nullptr;
  QLabel* HomepageLabel = nullptr;
  QLabel* homePageUrlLabel = nullptr;
  QLabel* supportEmailLabel = nullptr;
  QLabel* support_Email = nullptr;
  QLabel* copyLabel1 = nullptr;
  QLabel* copyLabel2 = nullptr;
  QPushButton* okBtn = nullptr;
  QPushButton* helpBtn = nullptr;
  QPushButton* homePageBtn = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void SetCaptions();
};

// The picture on the left of the about window, 166 x 308.
QPixmap AboutPicture();
