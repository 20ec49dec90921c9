#include "platform/HelpViewer.h"
#include "platform/linux/ChmArchive.h"
#include "platform/linux/HelpWindowLinux.h"

#include <QFileInfo>
#include <QPointer>
#include <QWidget>

namespace {

// Our viewer's own version; it satisfies the HTML Help 1.2 level the program asks for.
constexpr TFixedVersion kViewerVersion{4, 74, 0, 0};

class TLinuxHelpViewer : public THelpViewer {
public:
    bool Loaded() const override { return true; }
    std::optional<TFixedVersion> Version() const override { return kViewerVersion; }

    QWidget* ShowContext(const QString& target, int context) override {
        QString path = target;
        if (const qsizetype gt = path.indexOf(u'>'); gt >= 0)
            path.truncate(gt);
        const QFileInfo info(path);
        if (!info.isFile())
            return nullptr;

        // A changed or different file gets a fresh archive and window.
        if (!archive_ || archive_->FileName() != info.absoluteFilePath() || stamp_ != info.lastModified() ||
            size_ != info.size()) {
            auto archive = std::make_shared<TChmArchive>();
            if (!archive->Open(info.absoluteFilePath()))
                return nullptr;
            delete window_;
            archive_ = std::move(archive);
            stamp_ = info.lastModified();
            size_ = info.size();
        }
        if (!window_)
            window_ = new THelpWindow(archive_);

        const QString topic = archive_->TopicOfContext(context);
        if (topic.isEmpty())
            window_->ShowMissingContext(context);
        else
            window_->ShowTopic(topic);
        window_->show();
        return window_;
    }

    void CloseAll() override { delete window_; }

private:
    std::shared_ptr<TChmArchive> archive_;
    QDateTime stamp_;
    qint64 size_ = -1;
    QPointer<THelpWindow> window_;
};

} // namespace

THelpViewer& SystemHelpViewer() {
    static TLinuxHelpViewer viewer;
    return viewer;
}
