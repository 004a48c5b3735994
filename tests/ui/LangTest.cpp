#include <gtest/gtest.h>

#include "core/Profile.h"
#include "ui/lang.h"

// The texts users see, typos included, exactly as they must appear.
TEST(UiStrings, KeepTheirExactTexts) {
  EXPECT_STREQ(StrHelp, "&Help");
  EXPECT_STREQ(StrCancel, "&Cancel");
  EXPECT_STREQ(StrEmptyListHint, "Please click the \"Add Files\" button to add files.");
  EXPECT_STREQ(StrReadingFileStatus, "Reading file: ");
  EXPECT_STREQ(StrNothingToConvert, "There is nothing to convert! ");
  EXPECT_STREQ(StrNoTaskChecked, "Please check the checkbox to select conversting tasks.");
  EXPECT_STREQ(StrNoOutputFolder, "The specified output folder doesn't exists.");
  EXPECT_STREQ(StrPleaseWait, "Reading file, please have a wait");
  EXPECT_STREQ(StrTrayHint, "Click here to restore the main Window");
  EXPECT_STREQ(StrConversionSettings, "Conversion Settings ....");
  EXPECT_STREQ(StrCodecHint,
               "Normally, you need only install the required codecs to solve the problem. Please click "
               "the Help button to get more information on installing codecs.");
}

TEST(ProductProfile, IsAssignedInStartUpOrder) {
  SetProgramDir("/usr/lib/tolvane/tolvane");
  AssignProductProfile();
  SetApplicationTitle();
  EXPECT_EQ(ProgramDir, "/usr/lib/tolvane/");
  EXPECT_EQ(RegistryKey, "Software\\Zarnok\\Tolvane");
  EXPECT_EQ(HelpFile, "tolvane.html");
  EXPECT_EQ(TipsFile, "tips-rm.txt");
  EXPECT_EQ(ApplicationTitle, "Tolvane");
  EXPECT_EQ(OpenFilter,
            "All available Files|*.rm;*.rma;*.ra;*.rmvb|Real Meida Files(*.rm;*.rma;*.ra;*.rmvb)|*.rm;*.rma;"
            "*.ra;*.rmvb");
}
