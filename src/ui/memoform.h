// The information window: a read-only text and an OK button, shown modally.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace quintar {

class TMemoForm : public QDialog {
    Q_OBJECT
public:
    explicit TMemoForm(QWidget* owner = nullptr);
    QPlainTextEdit* MemoInfo;

    // Shows `testo` under the caption `titolo` and waits for OK.
    static void mostra(QWidget* owner, const QString& titolo, const QString& testo);
};

} // namespace quintar
