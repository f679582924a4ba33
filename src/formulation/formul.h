// The formulation card: the formulation's header, its component lines with
// the unit cost kept up to date, its procedure lines, searches, history with
// notes, duplication and the formulation's data sheet.
#pragma once

#include "formulation/costi.h"
#include "ui/schedapagine.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;

namespace quintar {

class PaginaRighe;

// A material code as the archive compares it, trailing blanks dropped.
QString senzaSpaziFinali(QString codice);
// "###,###,##0.####": thousands grouped, at most four decimals.
QString formatoCosto(double v);

// Version `versione` of a formulation's header: its copy in STOFORMUL and its
// summary row, signed with the user (an SQL literal); ErroreStorico on failure.
void scriviVersioneFormulazione(Query& q, const QString& codice, int versione, bool cancellazione,
                                const QString& utente);

class TFormulForm : public SchedaAPagine {
    Q_OBJECT
public:
    explicit TFormulForm(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TFormulForm() override;

    // The softened water's price, read once when the card opens.
    double PrezzoAcquaAddolcita = 0;

    PaginaRighe* PaginaComponenti;
    PaginaRighe* PaginaProcedure;
    QLabel* LabelVersione;
    QCheckBox* CheckEditReport;
    QPushButton* ButtonRicerche;
    QPushButton* ButtonStampa;
    QPushButton* ButtonDuplica;
    QPushButton* ButtonSemilavorato;
    QLineEdit* EditPercentualeAcqua;
    QLineEdit* StaticPrezzoAcqua;
    QLineEdit* EditCostoAcqua;
    QLineEdit* EditCostoTotale;
    QPushButton* StoricoT_ButtonNote;
    QPlainTextEdit* StoricoT_MemoNote;

    void ButtonDuplicaClick();
    void ButtonStampaClick();
    void ButtonNoteClick();
    void ButtonCodiceComponClick();
    void ButtonSemilavoratoClick();

    // The totals of the formulation's components, the lines as `q`'s
    // transaction sees them (a line being saved counts) and the prices as
    // committed now; shown on the component page.
    // The components' costs at the prices committed now; the codes of
    // materials no longer in the archive go into `mancanti` when given.
    costi::CostiComponenti CalcolaCostiCompon(Query& q, const QString& codice,
                                              QStringList* mancanti = nullptr);

protected:
    QStringList chiediNuovaChiave() override;
    void primaDellAggiornamento(const QStringList& assegnazioni) override;
    void dopoMemorizzazione() override;
    void eliminaRecord(const QString& codice) override;
    void riempiEditazione() override;
    void dopoNuovo() override;
    QString testoConfermaEliminazione(const QString& codice) override;
    QList<QPushButton*> pulsantiPagina(int pagina) override;
    void paginaMostrata(int pagina) override;
    void rigaCambiata() override;
    QStringList sqlDettaglioStorico(QString& memo) override;

private:
    void creaPagine();
    void creaComponenti();
    void creaProcedure();
    void completaStorico();
    void allargaSpecifiche();
    void leggiPrezzoAcqua();
    void mostraCosti(const costi::CostiComponenti& c);
    void mostraVersioneTestata();
    QString codiceProposto(const QString& titolo);
    // A header version of the formulation (the row as `q` sees it).
    int versioneTestata(Query& q, const QString& codice, int versione, bool cancellazione);
    void versioneRiga(Query& q, const QString& tabella, const QString& codice, const QString& riga,
                      int testata, int versione, bool cancellazione);
    QString utente() const;
    QString cartellaErrori() const;

    QTimer* timerCosti_;
};

} // namespace quintar
