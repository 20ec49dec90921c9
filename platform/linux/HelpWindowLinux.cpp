#include "platform/linux/HelpWindowLinux.h"

#include <QAction>
#include <QDesktopServices>
#include <QHeaderView>
#include <QSplitter>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeWidget>

namespace {

constexpr int kContentsWidth = 220;
constexpr int kPageWidth = 640;

QString TopicPath(const QUrl& url) {
    QString path = url.path();
    if (!path.startsWith(u'/'))
        path.prepend(u'/');
    return path;
}

} // namespace

// A page view that takes pages, style sheets and pictures from the help file.
class TChmBrowser : public QTextBrowser {
public:
    explicit TChmBrowser(std::shared_ptr<TChmArchive> archive, QWidget* parent)
        : QTextBrowser(parent), archive_(std::move(archive)) {
        // Links inside the help stay here; others go to the desktop's handler.
        setOpenLinks(false);
        connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& link) {
            const QUrl url = source().resolved(link);
            if (url.scheme().isEmpty() || url.scheme() == QLatin1String("chm"))
                setSource(url, QTextDocument::HtmlResource);
            else
                QDesktopServices::openUrl(url);
        });
    }

    QVariant loadResource(int type, const QUrl& url) override {
        if (!url.scheme().isEmpty() && url.scheme() != QLatin1String("chm"))
            return QTextBrowser::loadResource(type, url);
        const auto data = archive_->Read(TopicPath(url));
        if (!data)
            return {};
        if (type == QTextDocument::ImageResource)
            return *data;
        return QString::fromUtf8(*data);
    }

private:
    std::shared_ptr<TChmArchive> archive_;
};

THelpWindow::THelpWindow(std::shared_ptr<TChmArchive> archive) : archive_(std::move(archive)) {
    setWindowTitle(archive_->Title().isEmpty() ? QStringLiteral("Hilfe") : archive_->Title());
    resize(kContentsWidth + kPageWidth, 600);

    auto* splitter = new QSplitter(this);
    contents_ = new QTreeWidget(splitter);
    contents_->setHeaderHidden(true);
    contents_->setColumnCount(1);
    browser_ = new TChmBrowser(archive_, splitter);
    splitter->addWidget(contents_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({kContentsWidth, kPageWidth});
    setCentralWidget(splitter);

    auto* bar = addToolBar(QStringLiteral("Navigation"));
    bar->setMovable(false);
    back_ = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Zurück"));
    forward_ = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("Vorwärts"));
    auto* home = bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("Startseite"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    back_->setEnabled(false);
    forward_->setEnabled(false);

    connect(back_, &QAction::triggered, browser_, &QTextBrowser::backward);
    connect(forward_, &QAction::triggered, browser_, &QTextBrowser::forward);
    connect(home, &QAction::triggered, this, [this] {
        if (!archive_->DefaultTopic().isEmpty())
            ShowTopic(archive_->DefaultTopic());
    });
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, &THelpWindow::SelectContentsOf);
    connect(contents_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        const QString local = item->data(0, Qt::UserRole).toString();
        if (!local.isEmpty())
            ShowTopic(local);
    });
    connect(contents_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        const QString local = item->data(0, Qt::UserRole).toString();
        if (!local.isEmpty() && local != CurrentTopic())
            ShowTopic(local);
    });

    if (!archive_->ContentsFile().isEmpty())
        if (const auto hhc = archive_->Read(archive_->ContentsFile()))
            FillContents(ParseChmContents(QString::fromUtf8(*hhc)), nullptr);
    contents_->expandAll();

    // The contents pane shows every entry whole; the window grows by what it needs more.
    const int need = static_cast<QAbstractItemView*>(contents_)->sizeHintForColumn(0) +
                     2 * contents_->frameWidth() +
                     contents_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, contents_);
    if (need > kContentsWidth) {
        splitter->setSizes({need, kPageWidth});
        resize(width() + need - kContentsWidth, height());
    }
}

void THelpWindow::FillContents(const QList<TChmContentsEntry>& entries, QTreeWidgetItem* parent) {
    for (const auto& entry : entries) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(contents_);
        item->setText(0, entry.name);
        if (!entry.local.isEmpty())
            item->setData(0, Qt::UserRole, TopicPath(QUrl(entry.local)));
        item->setIcon(
            0, style()->standardIcon(entry.children.isEmpty() ? QStyle::SP_FileIcon : QStyle::SP_DirIcon));
        FillContents(entry.children, item);
    }
}

void THelpWindow::ShowTopic(const QString& topic) {
    QUrl url;
    url.setScheme(QStringLiteral("chm"));
    const qsizetype hash = topic.indexOf(u'#');
    url.setPath(hash >= 0 ? topic.left(hash) : topic);
    if (hash >= 0)
        url.setFragment(topic.mid(hash + 1));
    browser_->setSource(url, QTextDocument::HtmlResource);
}

void THelpWindow::ShowMissingContext(int context) {
    browser_->setHtml(QStringLiteral("<h2>Thema nicht gefunden</h2><p>Die Hilfedatei %1 enthält kein Thema "
                                     "zur Kontextnummer %2.</p>")
                          .arg(archive_->FileName().toHtmlEscaped())
                          .arg(context));
}

QString THelpWindow::CurrentTopic() const {
    return TopicPath(browser_->source());
}

QTextBrowser* THelpWindow::Browser() const {
    return browser_;
}

void THelpWindow::SelectContentsOf(const QUrl& url) {
    const QString path = TopicPath(url);
    for (QTreeWidgetItemIterator it(contents_); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toString().compare(path, Qt::CaseInsensitive) == 0) {
            contents_->setCurrentItem(*it);
            return;
        }
}
