#pragma once
// The window's two picture lists (16 and 32 pixels) and the greyed pictures of disabled
// commands, drawn from the SVG pictures in the resources so that both sizes stay sharp.
#include <QIcon>
#include <QPixmap>

// Indexes shared by both lists; 11 differs: the device tab's transmitter in the 32-pixel list,
// the red cross in the 16-pixel one, which continues with the printer and the floppy disk.
enum tImageIndex {
  iiAdd,
  iiRemove,
  iiConnected,
  iiDisconnected,
  iiConnecting,
  iiTools,
  iiArrows,
  iiInformation,
  iiWarning,
  iiChart,
  iiTwoChart,
  iiTransmitter = 11,
  iiCross = 11,
  iiPrinter = 12,
  iiFloppy = 13
};

namespace ImageLists {

constexpr int ImageList32Count = 12;
constexpr int ImageList16Count = 14;

// A picture of ImageList32 / ImageList16; an empty pixmap outside the list.
QPixmap ImageList32(int pIndex);
QPixmap ImageList16(int pIndex);
// The greyed variants of ImageList32dis / ImageList16dis.
QPixmap ImageList32dis(int pIndex);
QPixmap ImageList16dis(int pIndex);
// A command's picture: 16 pixels in menus, 32 on the tool bar, greyed while disabled.
QIcon CommandIcon(int pIndex);
// Any resource picture at a given size (SVG rendered sharp), empty when missing.
QPixmap Picture(const QString& pResource, const QSize& pSize);
// The picture in grey, its transparency kept.
QPixmap Greyed(const QPixmap& pPixmap);

} // namespace ImageLists
