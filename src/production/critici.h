// The pages "Comp. Critici" and "Qualità" of the manufacturing sheet: the
// critical lines of the product's formulation with the quantities recomputed
// for the real active matter in stock, the change of that real active matter
// in the formulation (with its history), and the composition and acceptable
// range of the selected critical material. One grid serves both pages.
#pragma once

#include "session/db.h"
#include "ui/tcsdgrid.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QWidget;

namespace quintar {

class SchedaFabbricazione;

class PagineCritici : public QObject {
    Q_OBJECT
public:
    // The sheet's pages that show these widgets.
    static constexpr int kPaginaCritici = 2;
    static constexpr int kPaginaQualita = 3;

    PagineCritici(SchedaFabbricazione& scheda, QWidget* parent);
    ~PagineCritici() override;

    // The middle of page "Comp. Critici": the line's fields, "Versione:",
    // "Edit &X" and the grid while that page is shown.
    QWidget* PaginaCritici;
    // The middle of page "Qualità": the grid while that page is shown,
    // "Composizione" and "Accettabilità".
    QWidget* PaginaQualita;
    TCSDGrid* GridCompCritici;
    QPushButton* ButtonEditCompCritici;

    // The selected line, as read from the list.
    QLineEdit* EditNRiga;
    QLineEdit* EditCodice;
    QLineEdit* EditDescrizione;
    QLineEdit* EditPercentuale;
    QLineEdit* EditMinimo;
    QLineEdit* EditMateriaAttivaReale;
    // Computed one second after the selected line changes.
    QLineEdit* EditPercentualeAggiornata;
    QLineEdit* EditQuantitaCalcolata;
    QLineEdit* EditQuantitaKg;
    QLabel* LabelVersione;
    QPlainTextEdit* MemoComposizione;
    QLineEdit* EditAccettabilita;
    // Single shot, one second: the computed fields and the version label.
    QTimer* TimerCompCritici;

    // Page 2 or 3 entered, or the batch changed while one of them is shown:
    // the grid moves onto that page and the list is read again (staying on
    // the same line when it is still there).
    void aggiorna(int pagina);
    // The page is left: the list closes, the timer stops.
    void chiudi();
    // The buttons the page enables.
    QList<QPushButton*> pulsanti(int pagina) const;

    // "Edit &X": a new real active matter for the selected line, written in
    // the formulation together with its history.
    void ButtonEditCompCriticiClick();
    // What the timer runs: "% Agg.", "Q.calc.", "Q.tà Kg" and the version.
    void calcolaCampi();
    // Opens the list on the current batch's product, on the line
    // (formulation; line number) when given and present, else on the first.
    // True when that line was found.
    bool riapri(const QString& formulazione = {}, const QString& riga = {});
    bool listaVuota() const;

private:
    QStringList sqlCritici() const;
    void mostraRiga();
    void nascondiColonne();
    QString valoreRiga(const QString& campo) const;
    std::optional<double> numeroRiga(const QString& campo) const;
    // The history of the change and the change, on the main transaction
    // started afresh, while the line still holds the value `mostrato` (as the
    // list showed it); the line's new version, or nothing after a failure
    // (rolled back, shown).
    std::optional<int> memorizza(const QString& formulazione, const QString& riga,
                                 const QString& mostrato, double valore);
    QString cartellaErrori() const;

    SchedaFabbricazione& scheda_;
    Query QueryCritici;
    Query QueryAux;
    QWidget* postoCritici_;
    QWidget* postoQualita_;
    QPointer<TCSDGrid> grigliaViva_;
    QPointer<QWidget> paginaCritici_;
    QPointer<QWidget> paginaQualita_;
};

} // namespace quintar
