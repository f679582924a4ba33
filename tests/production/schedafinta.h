// A manufacturing sheet stand-in for the tests of its pages: the demo
// archives of a host folder, a session for user 2, the three transactions
// and the host's archive, and a batch set by the test.
#pragma once

#include "production/fabbricazione.h"
#include "session/db.h"
#include "session/formati.h"
#include "session/tabx.h"
#include "support/archivi.h"
#include "ui/tcsdgrid.h"

#include <QWidget>

namespace prova {

class SchedaFinta : public quintar::SchedaFabbricazione {
public:
    explicit SchedaFinta(const Cartella& h, bool conErp = true) {
        quintar::Formati::impostaItaliani();
        s.NumUtente = 2;
        s.Ditta = QStringLiteral("Prova");
        s.IBDatabase1.connect(h.c().azienda());
        if (conErp) {
            s.IBDatabase2.connect(h.c().erp());
        }
        principale.start();
        controllo.start();
        storico.start();
    }
    ~SchedaFinta() override { principale.rollbackRetainingNoThrow(); }

    quintar::TTabXForm* sessione() const override { return &s; }
    QWidget* finestra() override { return &w; }
    quintar::Database* archivio() override { return &s.IBDatabase1; }
    quintar::Transaction& transazionePrincipale() override { return principale; }
    quintar::Transaction& transazioneControllo() override { return controllo; }
    quintar::Transaction& transazioneStorico() override { return storico; }
    quintar::Database* archivioErp() override {
        return s.IBDatabase2.connected() ? &s.IBDatabase2 : nullptr;
    }
    quintar::LottoCorrente lottoCorrente() const override { return lotto; }
    bool solaLettura() const override { return sola; }
    void rileggiLotto() override { ++riletture; }
    void scriviSuDatiCorrenti(const std::function<void()>& scrivi) override {
        quintar::scriviSuDatiCorrenti(principale, scrivi);
        ++riletture;
    }
    void configuraGriglia(quintar::TCSDGrid* g, int situazione, const QString& tabella) override {
        g->Situazione = situazione;
        g->NomeTabella = tabella;
        g->Utente = s.NumUtente;
        g->TabellaPiccola = true;
    }

    mutable quintar::TTabXForm s;
    QWidget w;
    quintar::Transaction principale{&s.IBDatabase1};
    quintar::Transaction controllo{&s.IBDatabase1};
    quintar::Transaction storico{&s.IBDatabase1};
    quintar::LottoCorrente lotto;
    bool sola = false;
    int riletture = 0;
};

// The demo's batch FM001 of 15/01/2025, lot L25015: 2000 litres at 1,03.
inline quintar::LottoCorrente lottoFM001() {
    quintar::LottoCorrente l;
    l.codice = QStringLiteral("FM001");
    l.data = QDate(2025, 1, 15);
    l.lotto = QStringLiteral("L25015");
    l.id = 1;
    l.nomeProdotto = QStringLiteral("Piatti Limone 1 L");
    l.unitaMisura = QStringLiteral("Litri");
    l.quantita = 2000;
    l.densitaProdotto = 1.03;
    return l;
}

} // namespace prova
