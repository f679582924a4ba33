// The layout designer: the names the screen declares, the bands and their
// elements with a property table, a live preview on the current record.
#pragma once

#include "report/lavorostampa.h"
#include "report/layout.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace quintar::report {

class Progettista : public QDialog {
    Q_OBJECT
public:
    // dati: one sample record asked of the handlers in design mode.
    Progettista(Layout layout, DatiStampa dati, QString file, const QString& titolo,
                QWidget* parent = nullptr);
    ~Progettista() override;

    const Layout& layout() const { return layout_; }
    bool modificato() const { return modificato_; }
    // Writes the layout; before overwriting, the previous version is kept
    // as ".~lst" beside it. False after an error box.
    bool salva();
    // Selects a node of the layout tree by its key: "P" page, "B:n" band
    // (0 header, 1 closing, 2 footer), "E:n:i" element i of band n, "L" list,
    // "R:r" kind of rows r, "C:r:i" column i of kind r.
    bool seleziona(const QString& percorso);
    // Sets a property of the selected node as the table would.
    void impostaProprieta(const QString& chiave, const QString& valore);
    // Adds an element of a kind to the selected band (or a column to the
    // selected kind of rows, or a kind of rows when "Righe" is asked).
    void aggiungi(const QString& tipo);
    void elimina();
    // Page 1 of the layout filled with the sample record, as drawn now.
    QImage anteprima(double dpi = 50) const;
    QStringList nomiSconosciuti() const;

    QTreeWidget* AlberoNomi;
    QTreeWidget* AlberoLayout;
    QTableWidget* TabellaProprieta;
    QLabel* Anteprima;
    QLabel* LabelSconosciuti;
    QPushButton* ButtonSalva;
    QPushButton* ButtonChiudi;

protected:
    void reject() override;

private:
    struct Nodo;
    void riempiAlbero(const QString& selezione = {});
    void mostraProprieta();
    void cellaCambiata(int riga, int colonna);
    void inserisciNome(QTreeWidgetItem* item);
    void aggiornaAnteprima();
    void cambiato();
    void sposta(int verso);
    Proprieta* proprieta(QString* tipo = nullptr);

    Layout layout_;
    DatiStampa dati_;
    QString file_;
    bool modificato_ = false;
    bool riempiendo_ = false;
    QTimer* timer_;
};

} // namespace quintar::report
