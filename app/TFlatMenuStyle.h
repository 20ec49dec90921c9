#pragma once
// Flat menu drawing: item background in the window colour, an icon column in the button-face
// colour, the hot item filled #C6D3EF and framed #3169C6, separators #8A867A, a grey frame.
#include <QProxyStyle>

class TFlatMenuStyle : public QProxyStyle {
public:
    TFlatMenuStyle();

    static constexpr int kIconColumn = 24;
    static constexpr int kItemHeight = 22;
    static constexpr int kSeparatorHeight = 5;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};
