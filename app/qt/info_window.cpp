#include "info_window.h"

#include <algorithm>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "core/dialog_template.h"
#include "dialog_builder.h"
#include "qt_text.h"

namespace kv58::app {

namespace {

constexpr int kTextId = 1037;
constexpr int kExposeTimeoutMs = 500;
constexpr long kBarSteps = 1000;

// Quits a local event loop when the watched window is first exposed.
class ExposeWatcher final : public QObject {
public:
    explicit ExposeWatcher(QEventLoop& loop) : loop_(loop) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Expose)
            QTimer::singleShot(0, &loop_, &QEventLoop::quit);
        return false;
    }

private:
    QEventLoop& loop_;
};

}  // namespace

InfoWindow::InfoWindow(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    const DialogTemplate& dialog = infoWindowTemplate();
    setWindowTitle(toQt(dialog.caption));
    setAttribute(Qt::WA_ShowWithoutActivating);
    const BuiltDialog built = buildDialog(dialog, this);
    text_ = built.as<QLabel>(kTextId);
    text_->setWordWrap(true);
    bar_ = new QProgressBar(this);
    bar_->setTextVisible(false);
    bar_->setRange(0, static_cast<int>(kBarSteps));
    const DialogRect& r = kInfoProgressBar;
    bar_->setGeometry(mapDialogRect(built.units, r.x, r.y, r.width, r.height));
    bar_->hide();
}

void InfoWindow::open(QWidget* over) {
    const bool overShown = over && over->isVisible();
    const QRect area = overShown  ? over->frameGeometry()
                       : screen() ? screen()->availableGeometry()
                                  : QRect();
    if (area.isValid())
        placeCentred(area, overShown ? over : nullptr);
    show();
    raise();
    waitUntilExposed();
}

// The place is settled before the window is shown: a window moved once on screen leaves the
// picture of its first place on the window below until that repaints, which it cannot while
// the operation blocks the thread. The window system's frame is not known before the window
// is shown; that of `over`, a window with a title bar too, stands in for it.
void InfoWindow::placeCentred(const QRect& area, const QWidget* over) {
    QMargins frame;
    if (over) {
        const QRect outer = over->frameGeometry();
        const QRect inner = over->geometry();
        frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                         outer.right() - inner.right(), outer.bottom() - inner.bottom());
    }
    QRect outer = QRect(QPoint(), size()).marginsAdded(frame);
    outer.moveCenter(area.center());
    move(outer.topLeft());  // a window's position is that of its frame
}

// The caller is about to block the thread: let the window system map and expose the window
// first, or nothing would be seen until the operation ends.
void InfoWindow::waitUntilExposed() {
    QWindow* window = windowHandle();
    if (!window || window->isExposed())
        return;
    QEventLoop loop;
    ExposeWatcher watcher(loop);
    window->installEventFilter(&watcher);
    QTimer::singleShot(kExposeTimeoutMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    window->removeEventFilter(&watcher);
    repaint();
}

void InfoWindow::setText(const QString& text) {
    text_->setText(text);
    text_->repaint();
}

void InfoWindow::setProgress(long done, long total) {
    if (total <= 0) {
        bar_->hide();
        return;
    }
    // In steps of a tenth of a percent: the bar is repainted at most a thousand times.
    const int value = static_cast<int>(std::clamp(done, 0L, total) * kBarSteps / total);
    if (bar_->isVisible() && bar_->value() == value)
        return;
    bar_->setValue(value);
    bar_->show();
    bar_->repaint();
}

}  // namespace kv58::app
