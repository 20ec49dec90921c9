#pragma once
// The help window: table of contents beside a page view, with back and forward.
#include "platform/linux/ChmArchive.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>

class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;
class QAction;

class THelpWindow : public QMainWindow {
public:
    explicit THelpWindow(std::shared_ptr<TChmArchive> archive);

    // "/name.htm" or a page of its own when the context has no topic.
    void ShowTopic(const QString& topic);
    void ShowMissingContext(int context);

    QString CurrentTopic() const;
    QTreeWidget* Contents() const { return contents_; }
    QTextBrowser* Browser() const;
    QAction* BackAction() const { return back_; }
    QAction* ForwardAction() const { return forward_; }

private:
    void FillContents(const QList<TChmContentsEntry>& entries, QTreeWidgetItem* parent);
    void SelectContentsOf(const QUrl& url);

    std::shared_ptr<TChmArchive> archive_;
    QTreeWidget* contents_ = nullptr;
    class TChmBrowser* browser_ = nullptr;
    QAction* back_ = nullptr;
    QAction* forward_ = nullptr;
};
