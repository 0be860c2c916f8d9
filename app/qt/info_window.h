// The information window: one line of progress text over the window that started a device
// operation, and a progress bar for transfers. The operation blocks the interface thread, so
// every change is painted at once instead of waiting for the event loop.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

namespace kv58::app {

class InfoWindow final : public QWidget {
    Q_OBJECT
public:
    explicit InfoWindow(QWidget* parent = nullptr);

    // Shows the window centred over `over` (or the screen) and waits until it is on screen.
    void open(QWidget* over);
    void setText(const QString& text);
    // Bytes done of bytes planned; a total of 0 hides the bar.
    void setProgress(long done, long total);

    QString text() const { return text_->text(); }
    const QProgressBar* progressBar() const { return bar_; }

private:
    void placeCentred(const QRect& area, const QWidget* over);
    void waitUntilExposed();

    QLabel* text_;
    QProgressBar* bar_;
};

}  // namespace kv58::app
