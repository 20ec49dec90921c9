#pragma once
// The help viewer: shows a topic of a compiled help file by context number in its own window.
#include "platform/VersionInfo.h"

#include <QString>
#include <optional>

class QWidget;

class THelpViewer {
public:
    virtual ~THelpViewer() = default;

    // The viewer is loaded and can be called.
    virtual bool Loaded() const = 0;
    // The viewer's file version; nullopt when it has none (the viewer then counts as not installed).
    virtual std::optional<TFixedVersion> Version() const = 0;

    // Shows the topic mapped to the context number of the help file named by target (a file
    // path, optionally followed by ">" and a window name). Returns the help window, or nullptr
    // when nothing could be shown.
    virtual QWidget* ShowContext(const QString& target, int context) = 0;
    // Closes every help window the viewer opened.
    virtual void CloseAll() = 0;
};

// The viewer in use (nullptr: the system's).
THelpViewer& HelpViewer();
void SetHelpViewer(THelpViewer* viewer);
THelpViewer& SystemHelpViewer();
