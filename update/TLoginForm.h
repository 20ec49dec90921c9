#pragma once
// Login dialog for HTTP Basic authentication.
#include "update/UpdateTypes.h"

#include <QDialog>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

class TLoginForm : public QDialog {
    Q_OBJECT
public:
    explicit TLoginForm(QWidget* parent = nullptr);

    QLabel* ImageBanner;
    QLabel* LabelUserName;
    QLineEdit* EditUserName;
    QLabel* LabelPassword;
    QLineEdit* EditPassword;
    QPushButton* BtnOK;
    QPushButton* BtnCancel;
};

// Shows the dialog modally with the given caption; the entries, or nullopt when cancelled.
std::optional<TLoginData> ShowLoginDialog(const QString& caption);

// Tests: answers the next dialogs instead of showing them (empty function: show again).
void SetLoginDialogAnswerer(std::function<std::optional<TLoginData>(TLoginForm& form)> answerer);
