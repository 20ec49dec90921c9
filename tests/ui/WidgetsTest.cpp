#include "ui/ConnectionStatusBar.h"
#include "ui/DbWaitCursor.h"
#include "ui/ImageListMain.h"
#include "ui/WindowLook.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <QSet>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

int OpaquePixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += qAlpha(img.pixel(x, y)) > 128;
    return n;
}

// Share of opaque pixels near a colour (hue within 20 degrees, fairly saturated).
double HueShare(const QImage& img, int hue) {
    int hit = 0, all = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = QColor::fromRgba(img.pixel(x, y));
            if (c.alpha() < 128)
                continue;
            ++all;
            if (c.hsvSaturation() > 90 && c.value() > 60 && std::abs(c.hsvHue() - hue) < 20)
                ++hit;
        }
    return all ? double(hit) / all : 0;
}

} // namespace

TEST(ImageListMain, SixteenDistinctDrawnPictures) {
    QSet<QByteArray> seen;
    for (int i = 0; i < ImageListMain::Count; ++i) {
        const QPixmap pm = ImageListMain::Pixmap(i);
        ASSERT_EQ(pm.size(), QSize(16, 16)) << i;
        const QImage img = pm.toImage();
        EXPECT_GT(OpaquePixels(img), 40) << "picture " << i << " nearly empty";
        seen.insert(QByteArray(reinterpret_cast<const char*>(img.constBits()), int(img.sizeInBytes())));
        EXPECT_FALSE(ImageListMain::Icon(i).isNull());
    }
    EXPECT_EQ(seen.size(), ImageListMain::Count);
    EXPECT_EQ(OpaquePixels(ImageListMain::Pixmap(16).toImage()), 0);
    EXPECT_EQ(OpaquePixels(ImageListMain::Pixmap(-1).toImage()), 0);
}

TEST(ImageListMain, ColoursOfKeyPictures) {
    const auto img = [](int i) { return ImageListMain::Pixmap(i, 32).toImage(); };
    EXPECT_GT(HueShare(img(imgNewNote), 0) + HueShare(img(imgNewNote), 359), 0.4); // red circle
    EXPECT_GT(HueShare(img(imgRunSearch), 50), 0.5);                               // yellow bolt
    EXPECT_GT(HueShare(img(imgCancel), 28), 0.4);                                  // orange circle
    EXPECT_GT(HueShare(img(imgHelp), 220), 0.4);                                   // blue circle
    EXPECT_GT(HueShare(img(imgSave), 222), 0.3);                                   // blue floppy
}

TEST(ImageListMain, TrayIconIsAYellowSheetWithATealPin) {
    const QImage img = ImageListMain::TrayPixmap(32).toImage();
    ASSERT_EQ(img.size(), QSize(32, 32));
    EXPECT_GT(HueShare(img, 52), 0.4);
    EXPECT_GT(HueShare(img, 178), 0.04);
    EXPECT_FALSE(ImageListMain::TrayIcon().isNull());
}

TEST(ConnectionStatusBar, PanelsAndConnectionMark) {
    TConnectionStatusBar bar(nullptr);
    TConnectionStatusBar withThird(nullptr, true);
    auto* p0 = bar.findChild<QLabel*>("Panel0");
    auto* p1 = bar.findChild<QLabel*>("Panel1");
    ASSERT_TRUE(p0 && p1);
    EXPECT_EQ(p0->width(), 30);
    EXPECT_EQ(p1->width(), 400);
    EXPECT_EQ(bar.findChild<QLabel*>("Panel2"), nullptr);
    auto* p2 = withThird.findChild<QLabel*>("Panel2");
    ASSERT_TRUE(p2);
    EXPECT_EQ(p2->width(), 50);
    EXPECT_TRUE(p2->text().isEmpty());

    EXPECT_EQ(bar.ImageIndex(), -1);
    bar.MarkConnected("/opt/zw/notizen.gdb");
    EXPECT_EQ(bar.ImageIndex(), imgConnected);
    EXPECT_EQ(bar.ImageHint(), "verbunden mit /opt/zw/notizen.gdb");
    EXPECT_EQ(p0->pixmap().toImage(), ImageListMain::Pixmap(imgConnected).toImage());
    bar.SetImage(imgBackup, "");
    EXPECT_EQ(bar.ImageIndex(), imgBackup);
    bar.SetText("Sicherung läuft");
    EXPECT_EQ(bar.Text(), "Sicherung läuft");
}

TEST(WindowLook, SkyBlueClassicFontAndToolbarStrip) {
    QMainWindow w;
    ApplyWindowLook(&w);
    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(166, 202, 240));
    EXPECT_EQ(w.font().pointSize(), 8);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMinimizeButtonHint);

    QDialog d;
    ApplyWindowLook(&d);
    EXPECT_EQ(d.windowType(), Qt::Dialog);
    EXPECT_EQ(w.windowType(), Qt::Window);

    QToolBar* bar = MakeToolBar(&w, "Werkzeuge");
    w.addToolBar(bar);
    QAction* a = bar->addAction(ImageListMain::Icon(imgSave), "Speichern");
    EXPECT_EQ(bar->height(), 43);
    EXPECT_TRUE(bar->isFloatable());
    EXPECT_EQ(bar->windowTitle(), "Werkzeuge");
    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(a));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->size(), QSize(24, 24));

    // Laid out by the main window the strip keeps its height, and the client starts below it.
    auto* client = new QWidget(&w);
    w.setCentralWidget(client);
    w.resize(400, 200);
    w.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->geometry(), QRect(0, 0, 400, 43));
    EXPECT_EQ(client->y(), 43);
}

TEST(DbWaitCursor, SetForTheScopeAndRestoredOnException) {
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(TDbWaitCursor::Active());
    try {
        TDbWaitCursor wait;
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(QGuiApplication::overrideCursor()->pixmap().isNull());
        EXPECT_TRUE(TDbWaitCursor::Active());
        {
            TDbWaitCursor inner;
            EXPECT_TRUE(TDbWaitCursor::Active());
        }
        EXPECT_NE(QGuiApplication::overrideCursor(), nullptr); // the outer guard still holds
        throw std::runtime_error("statement failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(TDbWaitCursor::Active());
    EXPECT_EQ(TDbWaitCursor::Picture().size(), QSize(32, 32));
}
