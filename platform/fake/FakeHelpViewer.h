#pragma once
// A help viewer for tests: records what it was asked and shows a plain window on request.
#include "platform/HelpViewer.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <memory>

class TFakeHelpViewer : public THelpViewer {
public:
    struct TRequest {
        QString target;
        int context = 0;
    };

    bool loaded = true;
    std::optional<TFixedVersion> version = TFixedVersion{4, 74, 0, 0};
    bool returnWindow = true; // false: ShowContext reports no window

    QList<TRequest> requests;
    int closeAllCount = 0;

    TFakeHelpViewer() = default;
    ~TFakeHelpViewer() override { delete window_; }

    bool Loaded() const override { return loaded; }
    std::optional<TFixedVersion> Version() const override { return version; }
    QWidget* ShowContext(const QString& target, int context) override;
    void CloseAll() override;

    QWidget* Window() const { return window_; }

private:
    QPointer<QWidget> window_;
};
