// The packaging card: packaging items with up to three suppliers and their
// prices, the final prices they give, photos and attached files.
#pragma once

#include "ui/schedapagine.h"

class QLabel;
class QLineEdit;

namespace quintar {

class PannelloFoto;

class TImballiForm : public SchedaAPagine {
    Q_OBJECT
public:
    explicit TImballiForm(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TImballiForm() override;

    // A final price: the supplier's price plus the additional cost, each read
    // in the local number format (a text that does not read counts as 0); 0
    // when there is no supplier price.
    static double PrezzoFinale(const QString& prezzo, const QString& aggiuntivo);
    // Widens the packaging codes of an older archive to ten characters,
    // telling the user first; stops at the first failure (its statement kept
    // in Errore.sql under `cartellaErrori`).
    static void CheckCodiceImballo(TTabXForm* sessione, const QString& cartellaErrori);

    PannelloFoto* PanelNoFoto;
    QLabel* PanelAltreImmagini;
    QPushButton* ButtonRicerche;
    QPushButton* ButtonAggiungiFoto;
    QPushButton* ButtonDoveUsato;
    QPushButton* ButtonFornitore[3];
    TCSDGrid* GridFotoImballi;
    PannelloFoto* PanelNoVisFoto;
    QPushButton* ButtonVisFotoChiudi;

    // The final prices of the edit page: of one supplier (0 to 2), or all.
    void CalcolaCosti(int fornitore = -1);
    void ButtonAggiungiFotoClick();
    // The main photo and the count of the others, for the current item.
    void MostraImmagine();
    // The "VisFoto" page with the main photo, or with all of them.
    void VediFoto(bool tutte);
    void ButtonFornitoreClick(int fornitore);
    // The products and open batches that use the current item.
    void ButtonDoveUsatoClick();

protected:
    bool validaCampi() override;
    void eliminaRecord(const QString& codice) override;
    void dopoNuovo() override;
    QList<QPushButton*> pulsantiPagina(int pagina) override;
    void paginaMostrata(int pagina) override;
    void rigaCambiata() override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void creaPagine();
    QWidget* creaPaginaVisFoto();
    void collegaDecodifiche();
    QLineEdit* edit(const QString& colonna) const;
    // The card has no pages of lines to lock its tabs while an item is
    // edited: it locks them itself.

    Query QueryFoto;
    Query QueryVisFoto;
    QString codiceFoto_;
};

} // namespace quintar
