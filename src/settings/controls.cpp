#include "settings/controls.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QToolButton>
#include <algorithm>

#include "common/number.h"

TPanel::TPanel(QWidget* parent, const QString& name, Bevel bevel) : QLabel(parent) {
    setObjectName(name);
    setAlignment(Qt::AlignCenter);
    if (bevel == Lowered)
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAutoFillBackground(true);
    setColor(palette().color(QPalette::Window));
}

void TPanel::setColor(const QColor& c) {
    color_ = c;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, c);
    setPalette(pal);
}

TCodeEdit::TCodeEdit(QWidget* parent, int typedLimit) : QLineEdit(parent), limit_(typedLimit) {
    // textEdited (the operator's edits only) comes before textChanged, so
    // lastText_ still holds the text the edit started from.
    connect(this, &QLineEdit::textEdited, this, &TCodeEdit::checkEdit);
    connect(this, &QLineEdit::textChanged, this, [this] { lastText_ = text(); });
}

void TCodeEdit::checkEdit(const QString& now) {
    // Whatever way text came in (a paste from the menu, a drop, the middle
    // button), an edit that inserted anything may leave at most the limit.
    if (now.size() <= limit_)
        return;
    qsizetype prefix = 0;
    const qsizetype common = std::min(now.size(), lastText_.size());
    while (prefix < common && now[prefix] == lastText_[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < common - prefix &&
           now[now.size() - 1 - suffix] == lastText_[lastText_.size() - 1 - suffix])
        ++suffix;
    if (prefix + suffix == now.size())
        return;  // only removed characters
    const int cursor = static_cast<int>(prefix);
    setText(lastText_);
    setCursorPosition(cursor);
}

bool TCodeEdit::fits(int inserted) const {
    const int kept = static_cast<int>(text().size()) - static_cast<int>(selectedText().size());
    return kept + inserted <= limit_;
}

void TCodeEdit::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Paste)) {
        // Pasted text is typing too: take only what still fits.
        QLineEdit::keyPressEvent(e);
        if (text().size() > limit_ && isUndoAvailable())
            undo();
        return;
    }
    const QString typed = e->text();
    const bool printable = !typed.isEmpty() && typed.at(0).isPrint();
    if (printable && !fits(static_cast<int>(typed.size()))) {
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void TCodeEdit::inputMethodEvent(QInputMethodEvent* e) {
    if (!e->commitString().isEmpty() && !fits(static_cast<int>(e->commitString().size()))) {
        e->accept();
        return;
    }
    QLineEdit::inputMethodEvent(e);
}

TUpDown::TUpDown(QWidget* parent, QLineEdit* associate, int min, int max)
    : QWidget(parent), associate_(associate), min_(min), max_(max), position_(min) {
    up_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    up_->setAutoRepeat(true);
    down_ = new QToolButton(this);
    down_->setArrowType(Qt::DownArrow);
    down_->setAutoRepeat(true);
    connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

int TUpDown::Position() const {
    // A number typed into the box is the position; other text keeps the last.
    if (associate_) {
        if (auto n = vhb::tryReadNumber(associate_->text().toLocal8Bit().toStdString()))
            position_ = std::clamp<int>(*n, min_, max_);
    }
    return position_;
}

void TUpDown::setPosition(int p) {
    position_ = std::clamp(p, min_, max_);
    if (associate_)
        associate_->setText(QString::number(position_));
}

void TUpDown::stepBy(int steps) {
    setPosition(Position() + steps);
}

void TUpDown::resizeEvent(QResizeEvent*) {
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}
