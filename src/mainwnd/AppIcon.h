// The program's icon and splash picture, drawn in code. The installed icons
// (packaging/icons) are this drawing: the PNGs rendered by
// `sendrix-window-demo --icons`, the SVG its transcription.
// Threading: window thread only (QPixmap).
#pragma once

#include <QIcon>
#include <QPixmap>

QIcon SendrixIcon();
// The icon drawn at side x side pixels, on a transparent ground.
QPixmap SendrixIconPixmap(int side);
// The splash picture at the given size.
QPixmap SendrixSplashPicture(const QSize& size);
