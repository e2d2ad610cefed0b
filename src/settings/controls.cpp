#include "settings/controls.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>
#include <algorithm>
#include <utility>

#include "common/local_text.h"
#include "common/number.h"

TDeferredControl::TDeferredControl(QWidget* parent, bool takesFocus) : QWidget(parent) {
    if (takesFocus)
        setFocusPolicy(Qt::StrongFocus);
}

QWidget* TDeferredControl::widget() {
    if (widget_)
        return widget_;
    widget_ = make();
    widget_->setGeometry(rect());
    if (focusPolicy() != Qt::NoFocus) {
        // The widget takes the control's place in the tab order, and the
        // control no longer takes the focus. A part that hands its focus to
        // the widget (a combo box's editor) comes right behind it; it is
        // moved while it does not.
        setTabOrder(this, widget_);
        setFocusPolicy(Qt::NoFocus);
        for (QWidget* part : widget_->findChildren<QWidget*>()) {
            if (part->focusProxy() != widget_)
                continue;
            part->setFocusProxy(nullptr);
            setTabOrder(widget_, part);
            part->setFocusProxy(widget_);
        }
    }
    widget_->show();
    return widget_;
}

QSize TDeferredControl::sizeHint() const {
    return widget_ ? widget_->sizeHint() : QWidget::sizeHint();
}

void TDeferredControl::showEvent(QShowEvent* e) {
    widget();
    QWidget::showEvent(e);
}

void TDeferredControl::resizeEvent(QResizeEvent*) {
    if (widget_)
        widget_->setGeometry(rect());
}

TCaption::TCaption(QWidget* parent, const QString& text)
    : TDeferredControl(parent, false), text_(text) {}

QString TCaption::text() const {
    const QLabel* label = made<QLabel>();
    return label ? label->text() : text_;
}

void TCaption::setText(const QString& text) {
    if (QLabel* label = made<QLabel>())
        label->setText(text);
    else
        text_ = text;
}

QWidget* TCaption::make() {
    auto* label = new QLabel(this);
    label->setTextFormat(Qt::PlainText);
    dress(label);
    label->setText(std::exchange(text_, QString()));
    return label;
}

TPanel::TPanel(QWidget* parent, const QString& name, Bevel bevel)
    : TCaption(parent, QString()), bevel_(bevel) {
    setObjectName(name);
    setAutoFillBackground(true);
    setColor(palette().color(QPalette::Window));
}

void TPanel::setColor(const QColor& c) {
    // The status panel is coloured at every sample, mostly with the colour
    // it has; a new palette costs far more than the comparison.
    if (c == color_)
        return;
    color_ = c;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, c);
    setPalette(pal);
}

void TPanel::dress(QLabel* label) {
    label->setAlignment(Qt::AlignCenter);
    if (bevel_ == Lowered)
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

void TLabel::showEvent(QShowEvent* e) {
    TCaption::showEvent(e);
    adjustSize();
}

TEdit::TEdit(QWidget* parent, const QString& text) : TDeferredControl(parent, true), text_(text) {}

QString TEdit::text() const {
    const QLineEdit* editor = made<QLineEdit>();
    return editor ? editor->text() : text_;
}

void TEdit::setText(const QString& text) {
    if (QLineEdit* editor = made<QLineEdit>())
        editor->setText(text);
    else
        text_ = text;
}

QLineEdit* TEdit::editor() {
    return static_cast<QLineEdit*>(widget());
}

QWidget* TEdit::make() {
    return withText(new QLineEdit(this));
}

QLineEdit* TEdit::withText(QLineEdit* editor) {
    editor->setText(std::exchange(text_, QString()));
    return editor;
}

namespace {

// The send code's line editor. What the operator types, pastes or drops
// goes in as far as it fits the limit beside the text that stays, and the
// rest is left out, as an edit box with a length limit does; an insertion of
// which nothing fits changes nothing. Where all of it fits, the line editor
// inserts it its own way.
class LimitedLineEdit : public QLineEdit {
public:
    LimitedLineEdit(QWidget* parent, int limit) : QLineEdit(parent), limit_(limit) {}

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    // What of `incoming` fits beside `kept` characters of the text: all of
    // it, a part cut after a whole character, or nothing.
    QString fitting(const QString& incoming, qsizetype kept) const;
    qsizetype keptBesideSelection() const { return text().size() - selectedText().size(); }
    void pasteFitting();  // the context menu's Paste
    int limit_;
};

QString LimitedLineEdit::fitting(const QString& incoming, qsizetype kept) const {
    QString fit = incoming.left(std::max<qsizetype>(0, limit_ - kept));
    if (fit.size() < incoming.size() && !fit.isEmpty() && fit.back().isHighSurrogate())
        fit.chop(1);
    return fit;
}

void LimitedLineEdit::keyPressEvent(QKeyEvent* e) {
    QString incoming;
    if (e->matches(QKeySequence::Paste)) {
        // Ctrl+Shift+Insert pastes the selection where the system has one.
        const bool selection = e->key() == Qt::Key_Insert &&
                               e->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier) &&
                               QGuiApplication::clipboard()->supportsSelection();
        incoming = QGuiApplication::clipboard()->text(selection ? QClipboard::Selection
                                                                : QClipboard::Clipboard);
    } else if (!e->text().isEmpty() && e->text().at(0).isPrint()) {
        incoming = e->text();
    }
    const QString fit = fitting(incoming, keptBesideSelection());
    if (fit.size() == incoming.size()) {
        QLineEdit::keyPressEvent(e);
        return;
    }
    if (!fit.isEmpty())
        insert(fit);
    e->accept();
}

void LimitedLineEdit::inputMethodEvent(QInputMethodEvent* e) {
    const QString fit = fitting(e->commitString(), keptBesideSelection());
    if (fit.size() == e->commitString().size()) {
        QLineEdit::inputMethodEvent(e);
        return;
    }
    // The composition goes on as it was; only what it commits is cut.
    QInputMethodEvent cut(e->preeditString(), e->attributes());
    cut.setCommitString(fit, e->replacementStart(), e->replacementLength());
    QLineEdit::inputMethodEvent(&cut);
    e->setAccepted(cut.isAccepted());
}

void LimitedLineEdit::mouseReleaseEvent(QMouseEvent* e) {
    // The middle button pastes the selection where the system has one, at
    // the cursor and after dropping the editor's own selection.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (e->button() == Qt::MiddleButton && clipboard->supportsSelection()) {
        const QString incoming = clipboard->text(QClipboard::Selection);
        const QString fit = fitting(incoming, text().size());
        if (fit.size() != incoming.size()) {
            if (!fit.isEmpty()) {
                deselect();
                insert(fit);
            }
            e->accept();
            return;
        }
    }
    QLineEdit::mouseReleaseEvent(e);
}

void LimitedLineEdit::dropEvent(QDropEvent* e) {
    // A drop goes in at the place it is dropped on, beside the whole text.
    const QString incoming = e->mimeData()->text();
    const QString fit = fitting(incoming, text().size());
    if (fit.size() == incoming.size()) {
        QLineEdit::dropEvent(e);
        return;
    }
    if (fit.isEmpty()) {
        QDragLeaveEvent gone;  // takes the drop's cursor away
        QLineEdit::dragLeaveEvent(&gone);
        e->ignore();
        return;
    }
    QMimeData part;
    part.setText(fit);
    QDropEvent cut(e->position(), e->possibleActions(), &part, e->buttons(), e->modifiers());
    cut.setDropAction(e->dropAction());
    QLineEdit::dropEvent(&cut);
    e->setDropAction(cut.dropAction());
    e->setAccepted(cut.isAccepted());
}

void LimitedLineEdit::contextMenuEvent(QContextMenuEvent* e) {
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (QAction* action : menu->actions()) {
        if (!action->text().startsWith(QLineEdit::tr("&Paste")))
            continue;
        disconnect(action, &QAction::triggered, this, nullptr);
        connect(action, &QAction::triggered, this, [this] { pasteFitting(); });
    }
    menu->popup(e->globalPos());
}

void LimitedLineEdit::pasteFitting() {
    const QString incoming = QGuiApplication::clipboard()->text();
    const QString fit = fitting(incoming, keptBesideSelection());
    if (fit.size() == incoming.size())
        paste();
    else if (!fit.isEmpty())
        insert(fit);
}

}  // namespace

QWidget* TCodeEdit::make() {
    return withText(new LimitedLineEdit(this, limit_));
}

TComboBox::TComboBox(QWidget* parent) : TDeferredControl(parent, true) {}

int TComboBox::count() const {
    const QComboBox* box = made<QComboBox>();
    return box ? box->count() : int(items_.size());
}

QString TComboBox::itemText(int index) const {
    const QComboBox* box = made<QComboBox>();
    return box ? box->itemText(index) : items_.value(index);
}

void TComboBox::addItem(const QString& text) {
    if (QComboBox* box = made<QComboBox>()) {
        box->addItem(text);
        return;
    }
    items_.append(text);
    // The first item added to an empty list becomes the current one, and an
    // editor takes its text.
    if (current_ < 0) {
        current_ = 0;
        editText_ = text;
    }
}

void TComboBox::clear() {
    if (QComboBox* box = made<QComboBox>()) {
        box->clear();
        return;
    }
    items_.clear();
    current_ = -1;
    editText_.clear();
}

QString TComboBox::currentText() const {
    const QComboBox* box = made<QComboBox>();
    return box ? box->currentText() : editText_;
}

void TComboBox::setEditText(const QString& text) {
    if (QComboBox* box = made<QComboBox>())
        box->setEditText(text);
    else
        editText_ = text;
}

QComboBox* TComboBox::box() {
    return static_cast<QComboBox*>(widget());
}

QWidget* TComboBox::make() {
    auto* box = new QComboBox(this);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setEditable(true);
    box->addItems(std::exchange(items_, QStringList()));
    box->setCurrentIndex(current_);
    box->setEditText(std::exchange(editText_, QString()));
    return box;
}

namespace {

// The spinner's face: two arrows, one above the other, each half its height.
// They are clicked only, as a spinner's arrows are; the number is typed into
// the box.
class Arrows : public QWidget {
public:
    explicit Arrows(QWidget* parent) : QWidget(parent) {
        for (QToolButton* b : {up, down}) {
            b->setAutoRepeat(true);
            b->setFocusPolicy(Qt::NoFocus);
        }
        up->setArrowType(Qt::UpArrow);
        down->setArrowType(Qt::DownArrow);
    }
    QToolButton* const up = new QToolButton(this);
    QToolButton* const down = new QToolButton(this);

protected:
    void resizeEvent(QResizeEvent*) override {
        const int half = height() / 2;
        up->setGeometry(0, 0, width(), half);
        down->setGeometry(0, half, width(), height() - half);
    }
};

}  // namespace

TUpDown::TUpDown(QWidget* parent, TEdit* associate, int min, int max)
    : TDeferredControl(parent, false),
      associate_(associate),
      min_(min),
      max_(max),
      position_(min) {}

QWidget* TUpDown::make() {
    auto* arrows = new Arrows(this);
    connect(arrows->up, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(arrows->down, &QToolButton::clicked, this, [this] { stepBy(-1); });
    return arrows;
}

int TUpDown::Position() const {
    // A number typed into the box is the position; other text keeps the last.
    if (associate_) {
        if (auto n = vhb::tryReadNumber(vhb::local8FromText(associate_->text())))
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
