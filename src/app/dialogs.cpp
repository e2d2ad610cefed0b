#include "app/dialogs.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <vector>

namespace vhb {

namespace {
QuestionHook g_questionHook;
ErrorHook g_errorHook;
QString g_programFilePath;
bool g_errorsMuted = false;

// The one error box and where it stands.
enum class BoxState {
    None,     // no box
    Pending,  // made; shown from the event loop once the failed handler has unwound
    Shown,    // on the screen
    Closing,  // OK was pressed (or the exit closed it); only its deletion is left
};
struct ErrorBox {
    QMessageBox* box = nullptr;  // null exactly in None
    BoxState state = BoxState::None;
    QStringList texts;  // the errors the box shows, each once
};
ErrorBox g_error;

void showPendingBox(QMessageBox* box) {
    if (g_error.box != box || g_error.state != BoxState::Pending || g_errorsMuted)
        return;
    box->show();
    g_error.state = BoxState::Shown;
}

void openErrorBoxWith(const QString& message) {
    auto* box =
        new QMessageBox(QMessageBox::Critical, QStringLiteral("Vesk-HB"), message, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // The modality first: setting it takes the stay-on-top flag away again.
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    g_error = {box, BoxState::Pending, {message}};
    // From OK on the box is done with: an error that comes before its
    // deletion opens a new box rather than change the text of this one.
    QObject::connect(box, &QDialog::finished, [box] {
        if (g_error.box == box)
            g_error.state = BoxState::Closing;
    });
    QObject::connect(box, &QObject::destroyed, [box] {
        if (g_error.box == box)
            g_error = {};
    });
    // Shown from the event loop once the failed handler has unwound, and
    // without an event loop of its own: a timer whose handler raised the
    // error ticks on while the box is open, so the heartbeat comes back by
    // itself at the first send that succeeds.
    QMetaObject::invokeMethod(
        box, [box] { showPendingBox(box); }, Qt::QueuedConnection);
}

}  // namespace

struct TopmostLowered::Saved {
    struct Entry {
        QPointer<QWidget> widget;
        bool visible;
    };
    std::vector<Entry> entries;
    // The error box as the question found it, pending or shown.
    QPointer<QMessageBox> errorBox;
};

TopmostLowered::TopmostLowered() : saved_(new Saved) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!(w->windowFlags() & Qt::WindowStaysOnTopHint))
            continue;
        const bool visible = w->isVisible();
        if (w == g_error.box)
            saved_->errorBox = g_error.box;
        else
            saved_->entries.push_back({w, visible});
        w->setWindowFlag(Qt::WindowStaysOnTopHint, false);
        // Changing a window's flags hides it; a shown window stays shown.
        if (visible)
            w->show();
    }
}

TopmostLowered::~TopmostLowered() {
    for (const auto& e : saved_->entries) {
        if (!e.widget)
            continue;
        e.widget->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        if (e.visible)
            e.widget->show();
    }
    // The error box goes by where it stands now, not by what it was when
    // the question came: a box that was pending then may have been shown
    // during the question, and an open one may have been closed. One that is
    // shown comes back above the windows just put back.
    if (saved_->errorBox)
        saved_->errorBox->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (g_error.state == BoxState::Shown) {
        g_error.box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        g_error.box->show();
        g_error.box->raise();
    }
    delete saved_;
}

bool askOkCancel(const QString& caption, const QString& text) {
    TopmostLowered lowered;
    if (g_questionHook)
        return g_questionHook(caption, text);
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

void showError(const QString& message) {
    if (g_errorsMuted)
        return;
    if (g_errorHook) {
        g_errorHook(message);
        return;
    }
    switch (g_error.state) {
        case BoxState::Pending:
            // Errors that come before the box is on the screen (one failed
            // handler can raise two) are all shown, the first first: it is
            // often the cause of the rest.
            if (!g_error.texts.contains(message)) {
                g_error.texts << message;
                g_error.box->setText(g_error.texts.join(QStringLiteral("\n\n")));
            }
            return;
        case BoxState::Shown:
            // One error box at a time: an error that repeats at every
            // heartbeat tick while nobody is at the workstation must not
            // stack boxes for months; the open box shows the latest text
            // instead.
            g_error.texts = QStringList{message};
            g_error.box->setText(message);
            return;
        case BoxState::None:
        case BoxState::Closing:
            openErrorBoxWith(message);
            return;
    }
}

QMessageBox* openErrorBox() {
    const bool open = g_error.state == BoxState::Pending || g_error.state == BoxState::Shown;
    return open ? g_error.box : nullptr;
}

void setErrorsMuted(bool muted) {
    g_errorsMuted = muted;
    if (muted && openErrorBox()) {
        g_error.state = BoxState::Closing;
        g_error.box->close();
    }
}

void setQuestionHook(QuestionHook hook) {
    g_questionHook = std::move(hook);
}
void setErrorHook(ErrorHook hook) {
    g_errorHook = std::move(hook);
}

// With the system's own separators: the path rules and the shortcut's
// working folder split at them.
QString programFilePath() {
    return g_programFilePath.isEmpty()
               ? QDir::toNativeSeparators(QCoreApplication::applicationFilePath())
               : g_programFilePath;
}

void setProgramFilePath(const QString& path) {
    g_programFilePath = path;
}

}  // namespace vhb
