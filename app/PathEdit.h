#pragma once

#include <QLineEdit>

// A one-line edit for a directory path that stays readable when the path is
// longer than the field: while the field has no focus, a path that does not
// fit shows its head and its tail with "…" in the middle, and the full path
// is the field's hint. Editing shows the text as it is.
class TPathEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit TPathEdit(QWidget *parent = nullptr);

    // The text as the field shows it now (elided or whole).
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void updateHint();
    int textWidth() const;
};
