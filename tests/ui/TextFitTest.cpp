// Room for texts in windows laid out at fixed positions.
#include "ui/TextFit.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOption>
#include <gtest/gtest.h>

namespace {

const QString kLong = QStringLiteral("Ein Text, der viel mehr Platz braucht als vorgesehen");

TEST(MakeRoom, NothingGrowsNothingMoves) {
    const QList<QRect> designed{{16, 144, 75, 30}, {136, 144, 75, 30}, {8, 8, 561, 121}};
    EXPECT_EQ(MakeRoom(designed, {{75, 30}, {10, 10}, {}}, 8), designed);
}

TEST(MakeRoom, NeighboursToTheRightKeepTheirDistance) {
    // a grows by 20 across; b lay 7 to its right, c 4 to the right of b, d below a.
    const QList<QRect> designed{{8, 8, 169, 33}, {184, 16, 100, 17}, {288, 16, 50, 17}, {8, 48, 300, 17}};
    const QList<QRect> placed = MakeRoom(designed, {{189, 33}, {}, {}, {}}, 8);
    EXPECT_EQ(placed[0], QRect(8, 8, 189, 33));
    EXPECT_EQ(placed[1], QRect(204, 16, 100, 17)); // 7 pixels after a, as designed
    EXPECT_EQ(placed[2], QRect(308, 16, 50, 17));  // pushed along, 4 after b
    EXPECT_EQ(placed[3], designed[3]);             // below a: growing across does not move it
}

TEST(MakeRoom, AWideDesignedGapShrinksToTheGapBeforeAnythingMoves) {
    const QList<QRect> designed{{16, 144, 75, 30}, {136, 144, 75, 30}};
    EXPECT_EQ(MakeRoom(designed, {{100, 30}, {}}, 8)[1], designed[1]); // still 20 apart
    EXPECT_EQ(MakeRoom(designed, {{120, 30}, {}}, 8)[1], QRect(144, 144, 75, 30));
}

TEST(MakeRoom, TallerWidgetsPushWhatLiesBelowThem) {
    const QList<QRect> designed{{8, 8, 200, 20}, {8, 40, 100, 20}, {300, 40, 100, 20}};
    const QList<QRect> placed = MakeRoom(designed, {{200, 50}, {}, {}}, 8);
    EXPECT_EQ(placed[1], QRect(8, 66, 100, 20)); // 8 below, the gap capped
    EXPECT_EQ(placed[2], designed[2]);           // not under the taller one
}

TEST(MakeRoom, OverlapByDesignStays) {
    // A label whose default box runs under its edit field.
    const QList<QRect> designed{{16, 80, 100, 30}, {104, 80, 193, 21}};
    EXPECT_EQ(MakeRoom(designed, {{120, 30}, {}}, 8), (QList<QRect>{{16, 80, 120, 30}, designed[1]}));
}

TEST(FitText, KeepsTheDesignWhereTheTextFits) {
    QDialog window;
    window.resize(300, 100);
    auto* label = new QLabel(QStringLiteral("Hi"), &window);
    label->setGeometry(8, 8, 120, 30);
    auto* button = new QPushButton(QStringLiteral("OK"), &window);
    button->setGeometry(136, 8, 75, 25);
    FitText(&window);
    EXPECT_EQ(label->geometry(), QRect(8, 8, 120, 30));
    EXPECT_EQ(button->geometry(), QRect(136, 8, 75, 25));
    EXPECT_EQ(window.size(), QSize(300, 100));
}

TEST(FitText, ALongLabelWidensAndMovesItsNeighbourAndTheWindow) {
    QDialog window;
    window.resize(200, 100);
    auto* label = new QLabel(kLong, &window);
    label->setGeometry(8, 8, 40, 17);
    auto* button = new QPushButton(QStringLiteral("OK"), &window);
    button->setGeometry(56, 8, 60, 25);
    FitText(&window);
    EXPECT_GE(label->width(), label->sizeHint().width());
    EXPECT_EQ(button->x(), label->geometry().right() + 1 + 8);
    EXPECT_EQ(button->size(), QSize(60, 25));
    EXPECT_EQ(window.width(), button->geometry().right() + 1 + 8);
    EXPECT_EQ(window.height(), 100);
    EXPECT_GE(window.minimumWidth(), window.width()); // the user cannot shrink it to cut again
    const QSize before = window.size();
    FitText(&window); // once more: nothing left to do
    EXPECT_EQ(window.size(), before);
}

TEST(FitText, ButtonsMakeRoomForEveryCaptionTheyShow) {
    QDialog window;
    window.setFixedSize(200, 60);
    auto* button = new QPushButton(&window);
    button->setGeometry(8, 8, 60, 25);
    SetTextsToFit(button, {QStringLiteral("Los"), kLong});
    FitText(&window);
    EXPECT_GT(button->width(), button->fontMetrics().horizontalAdvance(kLong));
    EXPECT_EQ(button->height(), 25);
    EXPECT_EQ(window.minimumSize(), window.maximumSize()); // a fixed window stays fixed, larger
    EXPECT_GE(window.width(), button->geometry().right() + 1);
}

TEST(FitText, GroupChildrenStayOffTheTitleAndTheTitleFits) {
    QDialog window;
    window.resize(300, 120);
    auto* group = new QGroupBox(QStringLiteral("Autostart"), &window);
    group->setGeometry(24, 8, 60, 65);
    auto* radio = new QRadioButton(QStringLiteral("an"), group);
    radio->setGeometry(16, 0, 40, 17);
    SetTextsToFit(group, {kLong});
    FitText(&window);
    QStyleOptionGroupBox opt;
    opt.initFrom(group);
    opt.text = group->title();
    opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect inside =
        group->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxContents, group);
    EXPECT_TRUE(inside.contains(radio->geometry()));
    EXPECT_GT(group->width(), group->fontMetrics().horizontalAdvance(kLong));
    EXPECT_LE(group->geometry().right(), window.width() - 1);
}

TEST(FitText, TheCentralWidgetOfAMainWindowGrowsThroughItsLayout) {
    QMainWindow window;
    window.resize(200, 120);
    auto* client = new QWidget(&window);
    window.setCentralWidget(client);
    window.setStatusBar(new QStatusBar(&window));
    auto* label = new QLabel(kLong, client);
    label->setGeometry(8, 8, 40, 17);
    FitText(&window);
    EXPECT_GE(label->width(), label->sizeHint().width());
    EXPECT_GE(client->minimumWidth(), label->geometry().right() + 1 + 8);
    EXPECT_GE(window.width(), client->minimumWidth());
}

} // namespace
