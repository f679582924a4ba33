// Rows of a grid chosen one by one for a run: F3 or a double click toggles
// the current row, chosen rows are drawn in the grid's mark colours. A row
// is known by the values of its key columns, so the choice survives the
// list being read again, and keys are never joined into one text.
#pragma once

#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <vector>

namespace quintar {

class TCSDGrid;

class SelezioneGriglia : public QObject {
    Q_OBJECT
public:
    SelezioneGriglia(TCSDGrid* griglia, QStringList colonneChiave);

    // The values of the key columns, in their order.
    using Chiave = QVariantList;
    // The chosen rows, in the order they were chosen.
    const std::vector<Chiave>& chiavi() const { return chiavi_; }
    bool vuota() const { return chiavi_.empty(); }
    bool scelta(int riga) const;
    // Toggles the current row; nothing when the list is empty.
    void cambiaCorrente();
    void svuota();

signals:
    void cambiata();

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    Chiave chiaveDi(int riga) const;
    TCSDGrid* griglia_;
    QStringList colonne_;
    std::vector<Chiave> chiavi_;
};

} // namespace quintar
