// The program's icon and splash picture, drawn in code (no image files).
// Threading: window thread only (QPixmap).
#pragma once

#include <QIcon>
#include <QPixmap>

QIcon SendrixIcon();
// The splash picture at the given size.
QPixmap SendrixSplashPicture(const QSize& size);
