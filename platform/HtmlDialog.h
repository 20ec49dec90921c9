#pragma once
// A modal dialog without owner window showing one page (local path or URL).
#include <QString>

class THtmlDialog {
public:
    virtual ~THtmlDialog() = default;
    virtual void Show(const QString& address) = 0;
};

THtmlDialog& HtmlDialog();
void SetHtmlDialog(THtmlDialog* dialog);
THtmlDialog& SystemHtmlDialog();
