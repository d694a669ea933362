#pragma once

#include <QImage>
#include <QList>
#include <QPainter>
#include <QSize>

namespace drivora {

// Skin images by numeric id. Each is drawn by the program itself the first
// time it is asked for, at the size its id stands for.
enum class SkinKind { None, Bitmap, Png };

class Skin {
public:
    static SkinKind kind(int id);
    static QSize size(int id);
    // The image, or a null image for an unknown id. Bitmaps are opaque,
    // PNGs carry alpha.
    static QImage image(int id);
    static QList<int> ids();
    // Ids given two images, the first of which no control can reach: none
    // in a sound skin.
    static QList<int> idsDefinedTwice();
};

// Drawing primitives of the skinned controls.
// Copies the top-left width x height of a bitmap to (x, y); with
// `transparent`, pixels of `key` are left out.
void DrawSkinBitmap(QPainter &painter, int id, int x, int y, int width, int height, bool transparent = false,
                    QColor key = Qt::white);
// Draws a PNG at its natural size with its alpha.
void DrawSkinPng(QPainter &painter, int id, int x = 0, int y = 0);
// A button's face: the background fill, then the bitmap stretched over the
// rectangle's size from its top-left, or the PNG at its size. False when the
// id names no image (only the fill is drawn).
bool DrawSkinImage(QPainter &painter, const QRect &rect, int id);
// Copies a part of a bitmap: (sourceX, sourceY) of size width x height to (x, y).
void DrawBitmapPart(QPainter &painter, int id, int x, int y, int width, int height, int sourceX, int sourceY);
// The idle picture (720 x 421) stretched over a rectangle.
void DrawIdlePicture(QPainter &painter, int x, int y, int width, int height);

inline const QColor kSkinBackground(10, 10, 10);

} // namespace drivora
