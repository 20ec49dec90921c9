#pragma once
// The shared 16 x 16 image list of the tray menu, tool buttons and status bars.
#include <QIcon>
#include <QPixmap>

enum TImageIndex : int {
    imgSave = 0,
    imgAbout = 1,
    imgNewNote = 2,
    imgSearchMenu = 3,
    imgQuit = 4,
    imgRunSearch = 5,
    imgConnected = 6,
    imgListAll = 7,
    imgDelete = 8,
    imgCancel = 9,
    imgEdit = 10,
    imgAdmin = 11,
    imgRestore = 12,
    imgBackup = 13,
    imgUpdate = 14,
    imgHelp = 15,
};

namespace ImageListMain {
constexpr int Count = 16;
QPixmap Pixmap(int index);           // 16 x 16; an index out of range gives a transparent picture
QPixmap Pixmap(int index, int size); // the same picture drawn at another size
QIcon Icon(int index);               // 16 x 16 plus larger renderings
QIcon TrashIcon();                   // the trash: a waste bin with a green arrow out of it
QIcon TrayIcon();                    // yellow note sheet with a teal push-pin, 32 x 32 and others
QPixmap TrayPixmap(int size = 32);
} // namespace ImageListMain
