// The manufacturing sheet: one sheet per batch of a product (product code,
// date and lot), with its header, its history, its components and critical
// components, the packaging and procedure pages, searches and the header
// history of the product's batches.
#pragma once

#include "production/fabbricazione.h"
#include "ui/schedapagine.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace quintar {

class PaginaMaterie;
class PaginaRighe;
class PagineCritici;

class TLiqPolvForm : public SchedaAPagine, public SchedaFabbricazione {
    Q_OBJECT
public:
    explicit TLiqPolvForm(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TLiqPolvForm() override;

    enum Pagina {
        Principale,
        Materie,
        CompCritici,
        Qualita,
        Confezionamento,
        Procedura,
        Ricerche,
        Storico
    };

    QPushButton* ButtonRicerche;
    QPushButton* ButtonStampa;
    QPushButton* ButtonStampaPre;
    QPushButton* ButtonStorico;
    QPushButton* ButtonStampaEtichette;
    QPushButton* ButtonHelpStampaEtichette;
    QPushButton* ButtonProdottiStessaPO;
    QPushButton* ButtonFabbricazioniStessaPO;
    QPushButton* ButtonSelezDoc;
    QPushButton* ButtonApriDoc;
    QPushButton* ButtonAssegnaEtichetta;
    QPushButton* ButtonSemilavorato;
    QCheckBox* CheckCopiaClip;
    QCheckBox* CheckEditReport;
    QComboBox* ComboCapacita;
    QComboBox* ComboCodiceCapacita; // hidden, same index
    QComboBox* ComboCapacitaConf;   // hidden, same index
    QComboBox* ComboRiempitrice;
    QComboBox* ComboCodiceRiempitrice; // hidden, same index
    QRadioButton* RadioMateriePrime;
    QRadioButton* RadioSemilavorato;
    QLabel* LabelVersione;
    QLabel* LabelBlocco; // the hold that stands on the batch shown, if any
    QTimer* TimerPO = nullptr;
    PaginaMaterie* PaginaComponenti = nullptr; // "Materie"
    PagineCritici* Critici = nullptr;          // "Comp. Critici" and "Qualità"
    PaginaRighe* PaginaConfez = nullptr;       // the filling machine's packaging lines
    PaginaRighe* PaginaProced = nullptr;       // the formulation's procedure lines

    // "&Stampa": the manufacturing sheet (report project StFabbrLST).
    void ButtonStampaClick();
    // "Stampa PRE": weighing barcodes for the component lines without one,
    // then the pre-production sheet (StFabbrPreLST).
    void ButtonStampaPreClick();
    // "Archiv. scheda": the batch's archived sheet, made on request when it
    // has none, shown in TStoFabForm.
    void ButtonStoricoClick();
    void ButtonSelezDocClick();
    void ButtonApriDocClick();
    void ButtonSemilavoratoClick();
    // The label template, a file of the labels' folder (PercorsoReportEtic).
    void ButtonAssegnaEtichettaClick();
    // The batch's label: its template filled, logged, and sent to the label
    // printer as it is.
    void ButtonStampaEtichetteClick();
    void ButtonProdottiStessaPOClick();
    void ButtonFabbricazioniStessaPOClick();
    // The header's information: product and transport data, months of life
    // and expiry date, and the version (TimerPO, 400 ms after the batch
    // changes).
    void aggiornaInformazioni();

    // What the pages see of the sheet.
    TTabXForm* sessione() const override { return sessione_; }
    QWidget* finestra() override { return this; }
    Database* archivio() override;
    Transaction& transazionePrincipale() override { return TransazionePrincipale; }
    Transaction& transazioneControllo() override { return TransazioneControllo; }
    Transaction& transazioneStorico() override { return TransazioneStorico; }
    Database* archivioErp() override;
    LottoCorrente lottoCorrente() const override;
    bool solaLettura() const override { return SolaLettura; }
    void rileggiLotto() override;
    void scriviSuDatiCorrenti(const std::function<void()>& scrivi) override {
        SchedaBase::scriviSuDatiCorrenti(scrivi);
    }
    void configuraGriglia(TCSDGrid* g, int situazione, const QString& tabella) override {
        SchedaBase::configuraGriglia(g, situazione, tabella);
    }

protected:
    QStringList chiediNuovaChiave() override;
    void dopoNuovo() override;
    void riempiEditazione() override;
    bool validaCampi() override;
    QStringList assegnazioni() const override;
    void dopoAggiornamento() override;
    void dopoMemorizzazione() override;
    void eliminaRecord(const QString& codice) override;
    QList<QPushButton*> pulsantiPagina(int pagina) override;
    bool paginaConsentita(int pagina) override;
    void paginaMostrata(int pagina) override;
    void rigaCambiata() override;
    void closeEvent(QCloseEvent* e) override;

private:
    void creaPagine();
    QWidget* paginaConGriglia(QWidget* contenuto, const QString& nome);
    void caricaElenchi();
    void collegaCalcoli();
    // "Q.tà cont." of the page shown; on the consultation page with the
    // capacity's description.
    void aggiornaContenitori(bool suEditazione);
    // The consultation page's decodes of the batch shown: capacity,
    // containers and filling machine.
    void decodificaConsultazione();
    // Where a stored code stands among the codes read from its table; -1
    // for an empty or unknown code.
    static int posizioneCodice(QComboBox* codici, const QString& codice);
    // The capacity and filling-machine lists positioned on a stored code; a
    // code no longer among them is shown and kept as it is.
    static void impostaCodice(QComboBox* mostrato, const std::vector<QComboBox*>& nascosti,
                              const QString& codice);
    static QString codiceScelto(QComboBox* mostrato, QComboBox* codici);
    // The batch's history version: a copy of the row as stored now.
    void scriviVersione(Query& q, const QString& codice, const QStringList& altre,
                        bool cancellazione);
    // The key condition of the header's statements for a batch.
    QString condizione(const QString& codice, const QStringList& altre) const;
    void mostraVersione();
    // The formulation of the batch shown; empty, after its warning, when
    // there is no batch or it has none.
    QString formulazioneDelLotto();
    // While a page of lines edits, the batch list stays on its batch.
    void bloccaLotti();
    // The batch shown printed with the report project named by the session
    // parameter `progetto`.
    void stampaFabbricazione(const QString& progetto);

    QMap<QString, QString> rigaSalvata_;
};

} // namespace quintar
