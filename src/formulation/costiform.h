// The cost-analysis screen: the cost sheets (COSTI) with their figures, the
// secondary sheets linked to a primary one (SCHEDE) and the explanation of
// each figure. There is no edit page: every change is written at once with
// its own statement and the sheet is then recalculated from today's
// figures and read again.
#pragma once

#include "formulation/archiviocosti.h"
#include "ui/schedapagine.h"

#include <QStringList>
#include <optional>

class QCheckBox;
class QLabel;
class QRadioButton;

namespace quintar {

class TCostiForm : public SchedaAPagine {
    Q_OBJECT
public:
    explicit TCostiForm(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TCostiForm() override;

    enum Pagina { Pagina1, SchedeSecondarie, Ricerche };

    QLineEdit* EditCodice;
    QLineEdit* EditDescrizione;
    QLineEdit* StaticTipoScheda;
    QLineEdit* EditCodiceProdotto;
    QLineEdit* StaticDescrizioneProdotto;
    QLineEdit* StaticRiempitrice;
    QLabel* LabelCostoBase;
    QLabel* LabelAvviso;
    QLabel* ImageAvviso;
    QPushButton* ButtonRicerche;
    QPushButton* ButtonCalcola;
    QPushButton* ButtonCoefficienti;
    QPushButton* ButtonTipoCalcT;
    QPushButton* ButtonTipoCalcTU;
    QPushButton* ButtonMostraPrezzi;
    QPushButton* ButtonPrezzoFinale;
    QPushButton* ButtonPrezzoPerConfezione;
    QPushButton* ButtonCostoBaseUnitario;
    QPushButton* ButtonHelp1;
    QPushButton* ButtonHelp2;
    QPushButton* ButtonHelp3;
    QList<QRadioButton*> RadioTipoCalcT;
    QList<QRadioButton*> RadioTipoCalcTU;
    QCheckBox* CheckMostraPrezzi;
    QLineEdit* EditCostoBaseUnitario;
    QLineEdit* EditCostiGeneraliUnitari;
    QLineEdit* EditCostoTotaleUnitario;
    QLineEdit* EditPrezzoBaseUnitario;
    QLineEdit* EditCostoTrasportoUnitario;
    QLineEdit* EditCostoConTrasportoUnitario;
    QLineEdit* EditPrezzoFinale;
    QLineEdit* EditPrezzoPerConfezione;

    TCSDGrid* GridSchede;
    QPushButton* ButtonAggiungiSchede;
    QPushButton* ButtonTogliSchede;
    QPushButton* ButtonChiudiSchede;
    QLineEdit* EditTotCostiBase;
    QLineEdit* EditTotCostiBaseUnitari;
    QLineEdit* EditTotCostiUnitaVend;

    QTimer* TimerCodice;
    QTimer* TimerProd;

    // A caption button of "Pagina 1" by its column (CODICEPRODOTTO, …).
    QPushButton* pulsante(const QString& colonna) const;
    // The read-only edit of a column on "Pagina 1".
    QLineEdit* campo(const QString& colonna) const;

    void ButtonNuovoCostiClick();
    void ButtonEliminaCostiClick();
    void ButtonCalcolaClick();
    // "&Descrizione", "&1. Q.tà da prod.(QP)" … "&5. T.Conf. (TCF)".
    void ButtonCampoClick(const QString& colonna);
    void ButtonCodiceProdottoClick();
    // The formulation of the sheet's product, on its components, read-only.
    void ButtonCostoRawmaterClick();
    void ButtonCoefficientiClick();
    void ButtonTipoCalcTClick();
    void ButtonTipoCalcTUClick();
    void ButtonMostraPrezziClick();
    void ButtonAggiungiSchedeClick();
    void ButtonTogliSchedeClick();

    // What the timers do: the sheet's selling prices, packaging check and
    // unit values; the product's name and the price caption.
    void aggiornaVista();
    void leggiProdotto();

protected:
    QList<QPushButton*> pulsantiPagina(int pagina) override;
    bool paginaConsentita(int pagina) override;
    void paginaMostrata(int pagina) override;
    void rigaCambiata() override;
    void eliminaRecord(const QString& codice) override;
    void closeEvent(QCloseEvent* e) override;

private:
    template <typename Dialogo> void scegliTipo(const QString& colonna);
    void creaPagina1();
    QWidget* creaPaginaSchede();
    // Layout of a primary or secondary sheet (SettaForm).
    void SettaForm();
    // The figures as the screen formats them.
    void formattaCampi();
    // Recalculates sheet `codice` (CalcolaTotali) and shows it again.
    void CalcolaTotali(const QString& codice);
    // Reads the sheet again on a fresh main transaction and shows it.
    void mostraScheda(const QString& codice);
    // Closes the lists and starts the main transaction again.
    void nuovaLettura();
    // One UPDATE of the current sheet, committed; false (after its message)
    // when it failed.
    // One statement written on a fresh transaction and committed; on failure
    // the message (empty: "Errore interno: " and the database's text) and the
    // sheet shown again. `unaRiga`: a statement touching no row has failed.
    bool scrivi(const QStringList& frase, const std::vector<QVariant>& valori,
                const QString& messaggio, bool unaRiga = false);
    bool aggiorna(const QString& assegnazione, const std::vector<QVariant>& valori,
                  const QString& messaggio);
    void riapriSchede();
    void mostraInfo(const QString& titolo, const QStringList& righe);
    QString colonnaCorrente(const QString& colonna) const;
    double numeroCorrente(const QString& colonna) const;

    Query QuerySchede;
    Query QueryAux3;
    QStringList riempitriciCod_;
    QStringList riempitriciSpe_;
    std::optional<costi::VistaScheda> vista_;
};

} // namespace quintar
