#pragma once
// Record navigator with four buttons: first, prior, next, last.
#include <QWidget>

class QToolButton;

class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    explicit TDBNavigator(QWidget* parent = nullptr);

    // Enables the buttons from the list's state and its begin and end marks.
    void UpdateButtons(bool hasRows, bool bof, bool eof);

    QToolButton* BtnFirst = nullptr;
    QToolButton* BtnPrior = nullptr;
    QToolButton* BtnNext = nullptr;
    QToolButton* BtnLast = nullptr;

signals:
    void FirstClicked();
    void PriorClicked();
    void NextClicked();
    void LastClicked();
};
