#pragma once
// The picture of the progress window's notification-area icon.
#include <QIcon>

QIcon TrayPicture();
