#pragma once
// The few control kinds of the settings window that Qt has no exact match for.
#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

class QToolButton;

// A caption whose label is made when it is first shown. A label measures
// and announces every text it is given, and its first one brings in the text
// layout and accessibility code, which a window that stays hidden all day
// never needs. Until then the caption keeps its text as it is; reading and
// writing it work the same before and after. Texts show as they are, never
// as markup.
class TCaption : public QWidget {
    Q_OBJECT
public:
    QString text() const;
    void setText(const QString& text);
    QLabel* label() const { return label_; }  // null until the first show
    QSize sizeHint() const override;

protected:
    TCaption(QWidget* parent, const QString& text);
    virtual void dress(QLabel* label) { (void)label; }  // how the label looks
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QString text_;  // the text while there is no label
    QLabel* label_ = nullptr;
};

// A panel: a framed, centred caption on a background of its own colour.
class TPanel : public TCaption {
    Q_OBJECT
public:
    enum Bevel { None, Lowered };
    TPanel(QWidget* parent, const QString& name, Bevel bevel);
    QColor Color() const { return color_; }
    void setColor(const QColor& c);

protected:
    void dress(QLabel* label) override;

private:
    Bevel bevel_;
    QColor color_;
};

// A label sized to its caption when it is shown rather than when it is made:
// measuring a text loads the whole font stack.
class TLabel : public TCaption {
    Q_OBJECT
public:
    TLabel(const QString& caption, QWidget* parent) : TCaption(parent, caption) {}

protected:
    void showEvent(QShowEvent* e) override;
};

// An edit box whose line editor is made when the box is first shown. A line
// editor lays its text out, and so loads the whole font stack, from the moment
// it is made and at every change of its text; until then the box keeps the
// text as it is. Reading and writing the text work the same before and after.
class TEdit : public QWidget {
    Q_OBJECT
public:
    TEdit(QWidget* parent, const QString& text);
    QString text() const;
    void setText(const QString& text);
    void clear() { setText(QString()); }
    // The line editor itself, made now if the box has not been shown yet.
    QLineEdit* editor();

protected:
    virtual QLineEdit* makeEditor();
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QString text_;  // the text while there is no editor
    QLineEdit* editor_ = nullptr;
};

// An edit box that limits what the operator enters (typed, pasted, dropped)
// to a number of characters but keeps a longer text that the program sets
// (the settings file may hold one) and lets the operator shorten it.
class TCodeEdit : public TEdit {
    Q_OBJECT
public:
    TCodeEdit(QWidget* parent, int typedLimit) : TEdit(parent, QString()), limit_(typedLimit) {}
    int typedLimit() const { return limit_; }

protected:
    QLineEdit* makeEditor() override;

private:
    int limit_;
};

// A combo box with an edit text, made when the box is first shown (see TEdit):
// a combo box and its item model bring their code with them from the moment
// they are made. Until then the box keeps the list, the current item and the
// edit text itself, and the edit text follows the current item as an editor's
// would. Reading and changing them work the same before and after.
class TComboBox : public QWidget {
    Q_OBJECT
public:
    explicit TComboBox(QWidget* parent);
    int count() const;
    QString itemText(int index) const;
    void addItem(const QString& text);
    void clear();
    QString currentText() const;
    void setEditText(const QString& text);
    // Whether the combo box has been made (it is editable from the start).
    bool isEditable() const { return box_ != nullptr; }
    QLineEdit* lineEdit() const { return box_ ? box_->lineEdit() : nullptr; }
    // The combo box itself, null until the first show.
    QComboBox* box() const { return box_; }

protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QStringList items_;  // the list while there is no combo box
    int current_ = -1;   // its current item
    QString editText_;   // its edit text
    QComboBox* box_ = nullptr;
};

// A spinner bound to an edit box: the box shows the position, and a number
// typed into the box becomes the position (brought into the range).
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QWidget* parent, TEdit* associate, int min, int max);
    int Position() const;
    void setPosition(int p);
    int Min() const { return min_; }
    int Max() const { return max_; }
    void stepBy(int steps);

protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void placeArrows();
    TEdit* associate_;
    QToolButton* up_ = nullptr;  // the arrows, made at the first show
    QToolButton* down_ = nullptr;
    int min_, max_;
    mutable int position_;
};
