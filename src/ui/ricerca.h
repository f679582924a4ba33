// A modal search screen that returns a code: search fields whose conditions
// are added to the list's text, the selection panel, the grid, and the
// buttons "Attiva Selez.", "Annulla Selez.", "Ritorna", "Chiudi".
#pragma once

#include "session/db.h"

#include <QDialog>
#include <map>
#include <vector>

class QGridLayout;
class QLineEdit;
class QVBoxLayout;
class QPushButton;

namespace quintar {

class TCSDGrid;
class TTabXForm;

struct CampoRicerca {
    QString colonna;    // RAGSOC
    QString didascalia; // "Rag. Soc."
    QString pulsante;   // ButtonRagSoc
    QString edit;       // EditRagSoc: the search field (none when empty)
    QString corrente;   // EditRagSoc2: the current row's value
};

struct DescrizioneRicerca {
    QString tabella;
    QString chiave = QStringLiteral("CODICE");
    QString nome;       // Fornito: GridFornito
    QString didascalia; // "Ricerche fornitori - Ditta:"
    int situazioneFinestra = 0;
    int situazioneGriglia = 0;
    QStringList sqlBase; // "SELECT * FROM FORNITO WHERE (CODICE IS NOT NULL)"
    std::vector<CampoRicerca> campi;
    // The four buttons are named after this prefix (ButtonRicercaAttivaSel).
    QString prefissoPulsanti = QStringLiteral("ButtonRicerca");
    // The list opens as the screen is built; a screen that adds conditions
    // of its own opens it once they are in place.
    bool apriSubito = true;
};

// The selection of a search page: one condition per field typed in
// ("AND(UPPER(CODICE) LIKE '%X%')", X upper case) and the text the selection
// panel shows ("UPPER(CODICE) LIKE %X%;"). Fields are (column, text).
struct Selezione {
    QStringList condizioni;
    QString testo;
};
Selezione selezioneRicerca(const std::vector<std::pair<QString, QString>>& campi);

class SchermataRicerca : public QDialog {
    Q_OBJECT
public:
    SchermataRicerca(TTabXForm* sessione, DescrizioneRicerca d, QWidget* owner = nullptr);
    ~SchermataRicerca() override;

    TCSDGrid* Griglia;
    QWidget* PanelSelezione;
    QLineEdit* EditSelezione;
    QPushButton* ButtonRicercaAttivaSel;
    QPushButton* ButtonRicercaAnnullaSel;
    QPushButton* ButtonRicercaRitorna;
    QPushButton* ButtonRicercaChiudi;

    QLineEdit* campo(const QString& edit) const;
    // The chosen row's column (after an OK result).
    QString valoreScelto(const QString& colonna) const;
    // Makes the row of the code current when the list holds it.
    void posizionaSu(const QString& codice);

    void done(int r) override;
    // Closes and opens the list again; a database error becomes its message.
    void riapriLista();

protected:
    void showEvent(QShowEvent* e) override;
    // Conditions of the screen's own after the fields' ones, with the text
    // each adds to the selection panel.
    virtual QStringList altreCondizioni(QString& testo) const {
        Q_UNUSED(testo);
        return {};
    }
    // "Annulla Selez." emptied the fields.
    virtual void selezioneAnnullata() {}
    QGridLayout* layoutCampi() const { return campi_; }
    QVBoxLayout* layoutCorpo() const { return corpo_; }
    TTabXForm* sessione_;
    Transaction Transazione;
    Query QueryPrincipale;

private:
    void aggiornaCorrenti();
    DescrizioneRicerca d_;
    QGridLayout* campi_ = nullptr;
    QVBoxLayout* corpo_ = nullptr;
    std::map<QString, QLineEdit*> edit_;
    bool posizioneCaricata_ = false;
};

} // namespace quintar
