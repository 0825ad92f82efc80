#pragma once
// The pictures of the splash and about windows, drawn at run time: a light
// card with navy rules and a small parachute emblem. Outside the outline the
// pictures hold the transparent colour (purple), which gives the windows
// their shape.
#include <QColor>
#include <QImage>
#include <QRegion>

namespace kw::app::artwork {

inline constexpr QRgb kTransparent = 0xFF800080;  // purple
inline constexpr QRgb kNavy = 0xFF000080;

QImage splashPicture();       // 443 x 269
QImage aboutPicture();        // 443 x 269
QImage linkImage(int index);  // 24 x 24: 0 web page, 1 e-mail, 2 questions, 3 download
// The part of a picture that is not the transparent colour.
QRegion outline(const QImage &picture);

} // namespace kw::app::artwork
