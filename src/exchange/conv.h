// Conversion of the older archive (Paradox tables) into the company archive:
// 28 tables in a fixed order, each emptied and filled again from its source
// table, all in one transaction, committed only when every table succeeded.
#pragma once

#include "session/db.h"
#include "ui/finestra.h"

#include <QStringList>
#include <memory>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quintar {

class EsecuzioneInCorso;
class TInfoElabForm;

namespace conversione {
struct TabellaDaConvertire;
}

class TConvForm : public FinestraSessione {
    Q_OBJECT
public:
    explicit TConvForm(TTabXForm* sessione, QWidget* owner = nullptr);
    ~TConvForm() override;

    static constexpr int kSituazioneFinestra = 21;

    Transaction Transazione;
    Query QueryConv;

    QPushButton* ButtonArchivi;
    QLineEdit* EditArchivi;
    QPushButton* ButtonElabora;
    QPushButton* ButtonChiudi;
    QPlainTextEdit* MemoRiep;
    // The progress window, while a conversion runs.
    TInfoElabForm* InfoElab() const { return info_; }

    void ButtonArchiviClick();
    void ButtonElaboraClick();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    enum class Esito { Convertita, Fallita, Annullata };
    Esito ConvertiTabella(int n, const conversione::TabellaDaConvertire& t);
    bool annullato() const;
    void riga(const QString& testo);
    // Memo line "Elaborazione interrotta: " + time, the lines given, and the error box.
    void interrotta(const QStringList& righe, const QString& messaggio);
    void rollbackSenzaErrori() noexcept;
    TInfoElabForm* info_ = nullptr;
    EsecuzioneInCorso* esecuzione_ = nullptr;
    bool posizioneCaricata_ = false;
};

} // namespace quintar
