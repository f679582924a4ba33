// The figures of a cost sheet (COSTI) computed from plain values: labour,
// unit product cost, base cost with the linked secondary sheets, general
// costs, transport, the three price levels, the unit values shown beside
// them and the selling prices. Nothing here reads or writes the archive
// (see archiviocosti.h) and nothing here knows a widget.
#pragma once

#include "formulation/costi.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

namespace quintar::costi {

// The value times 10^n, plus 0,5000001 (minus for a negative value), cut to
// a whole number, divided by 10^n and written with exactly n decimals, then
// read back: halves go away from zero, and so does a product such as
// 2,345 × 100 that binary arithmetic leaves just below its half. n from 0
// to 15; infinities and NaN come back unchanged.
double ArrotondaDecimali(double valore, int decimali);

// The one row of CPAR. A NULL column reads as 0.
struct ParametriCosti {
    double costoTempo = 0;         // COSTOTEMPO
    double costiGeneraliAnnui = 0; // COSTIGENERALIANNUI (CGA)
    double costiBaseAnnui = 0;     // COSTIBASEANNUI (CBA)
    double coeffRicarico = 0;      // COEFFRICARICO (CR)
    double coeffAgente = 0;        // COEFFAGENTE (CA)
    double coeffSconto = 0;        // COEFFSCONTO (CS)
    double trasporto = 0;          // COSTOTRASPORTO, per unit produced
};

// The three coefficients that price a sheet.
struct Coefficienti {
    double ricarico = 1;
    double agente = 1;
    double sconto = 1;
};

// The company's default coefficients: a coefficient of 0 in CPAR (what an
// empty field of the parameters screen stores) is "not set" and counts as
// 1, as it would without any CPAR row; otherwise a sheet without its own
// coefficients would be priced at 0.
Coefficienti coefficientiPredefiniti(const std::optional<ParametriCosti>& parametri);

// The sheet's own columns that the calculation reads (NULL as 0).
struct SchedaCosti {
    bool secondaria = false;          // TIPOSCHEDA 1
    double quantita = 0;              // QUANTITADAPRODURRE (QP)
    double tempoProduzione = 0;       // TEMPOPRODUZIONE (TP)
    double tempoAvvio = 0;            // TEMPOAVVIO (TA)
    double tempoControlloQualita = 0; // TEMPOCONTROLLOQUALITA (TQ)
    double tempoConfezionamento = 0;  // TEMPOCONFEZ (TCF)
    double coeffRicarico = 0;         // COEFFRICARICO: 0 takes the company's
    double coeffAgente = 0;           // COEFFAGENTE
    double coeffSconto = 0;           // COEFFSCONTO
    int tipoComposizione = 0;         // TIPOCOMPOSIZIONE: 0 adds QP × CUP to T
};

// Everything CalcolaTotali needs, read at the moment of the calculation.
struct DatiCalcolo {
    std::optional<ParametriCosti> parametri; // none: CPAR has no row
    SchedaCosti scheda;
    double costoUnitarioProdotto = 0;     // CUP: materials at today's prices + packaging
    double totaleCostiBaseSecondarie = 0; // TotTS: stored COSTOBASE of the linked sheets
    double costoRawMater = 0;             // the formulation's stored COSTOUNITARIO
    double costoContenitore = 0;          // the product's packaging cost
};

// The figures CalcolaTotali stores, column by column.
struct TotaliCosti {
    double costoTempo = 0;              // COSTOTEMPO
    double costoManodopera = 0;         // COSTOMANODOPERA (CM)
    double costoMateriali = 0;          // COSTOMATERIALI (CUP)
    double costoBase = 0;               // COSTOBASE (T)
    double costoBeta = 0;               // COSTOBETA (Cbeta)
    double costiGenerali = 0;           // COSTIGENERALI (CG)
    double costoTotale = 0;             // COSTOTOTALE (CTot)
    double costoTrasporto = 0;          // COSTOTRASPORTO
    double costoConTrasporto = 0;       // COSTOCONTRASPORTO (CT)
    double prezzoBase = 0;              // PREZZOBASE (PB)
    double prezzoBaseConAgente = 0;     // PREZZOBASECONAGENTE (PA)
    double prezzoScontato = 0;          // PREZZOSCONTATO (PS)
    double costoAvvioUnitario = 0;      // COSTOAVVIOUNITARIO
    double costoProduzioneUnitario = 0; // COSTOPRODUZIONEUNITARIO
    double costoConfezUnitario = 0;     // COSTOCONFEZUNITARIO
    double costoControlloQualUnit = 0;  // COSTOCONTROLLOQUALUNIT
    double costoRawMater = 0;           // COSTORAWMATER
    double costoContenitore = 0;        // COSTOCONTENITORE
    // COSTOBASEUNITARIO = CM / QP + CUP, for a secondary sheet whose QP is
    // above 0,01 only; otherwise the stored value stays as it is.
    std::optional<double> costoBaseUnitario;
    Coefficienti coefficienti; // those applied
};

// A quantity above this one can divide.
inline constexpr double kQuantitaMinima = 0.01;

// The whole calculation of a sheet. A primary sheet takes each of its own
// coefficients that is not 0, the company's otherwise; a secondary sheet has
// no transport and coefficients of 1. The unit start-up and quality-control
// costs are 0 unless QP is above 0,01.
TotaliCosti calcolaTotali(const DatiCalcolo& d);

// CUP of a product: the formulation's lines at today's prices (a line whose
// material is unknown has no price and adds nothing) plus the packaging
// cost of one unit.
double costoUnitarioProdotto(const std::vector<RigaComponente>& righe, double costoImballo);

// The packaging of a product as the cost sheets price it: the costs of
// container, cap, label, carton and the four further items (none when the
// name is empty or not found) and the divisors D1…D6. A group whose divisor
// is not above 0,01 is left out.
double costoImballoProdotto(const std::array<std::optional<double>, 8>& costi,
                            const std::array<double, 6>& divisori);

// The sums over the secondary sheets linked to a primary one.
struct SommeSecondarie {
    double costiBase = 0;           // TotTS: sum of COSTOBASE
    double costiBaseUnitari = 0;    // TotTUS: sum of COSTOBASEUNITARIO
    double costiUnitariVendita = 0; // TotTVendS: sum of COSTOBASEUNITARIO × COLLEGAMENTO
};

// What CalcolaCostiUnitari reads: the sheet's stored figures.
struct DatiUnitari {
    bool secondaria = false;
    double quantita = 0;          // QP
    double costoManodopera = 0;   // stored CM
    double costoMateriali = 0;    // stored CUP
    double costoBaseUnitario = 0; // stored COSTOBASEUNITARIO (TU of a secondary sheet)
    double costoBeta = 0;         // stored Cbeta
    double costoTrasporto = 0;    // stored COSTOTRASPORTO
    double coeffRicarico = 0;     // the sheet's COEFFRICARICO
    int tipoCalcUnitario = 0;     // TIPOCALCUNITARIO 0…3 ("Calc.1"…"Calc.4")
    std::optional<ParametriCosti> parametri;
    SommeSecondarie somme;
};

// The unit values shown beside the totals. A value without a number is
// shown empty.
struct ValoriUnitari {
    // The markup of the unit price: a primary sheet's own when above 0,01,
    // otherwise the company's (its 0 counting as 1), 1 for a secondary sheet.
    double coeffRicarico = 1;
    // TU. A primary sheet's TU begins with CM / QP: with QP not above 0,01
    // there is no TU (rather than a figure that leaves the labour out), and
    // so none of the values built on it.
    std::optional<double> costoBaseUnitario;
    std::optional<double> costiGeneraliUnitari; // CGU = TU × Cbeta
    std::optional<double> costoTotaleUnitario;  // CTotU = TU + CGU
    // Primary sheets with QP above 0,01 only:
    std::optional<double> costoTrasportoUnitario;    // CTraspU = COSTOTRASPORTO / QP
    std::optional<double> costoConTrasportoUnitario; // CTU = CTotU + CTraspU
    std::optional<double> prezzoBaseUnitario;        // PBU = CTotU × markup
};

// The unit values follow the formulas of the totals they stand beside
// (CG = T × Cbeta, CTot = T + CG, CT = CTot + transport), divided by QP.
ValoriUnitari calcolaCostiUnitari(const DatiUnitari& d);

// The product of a sheet as the selling prices read it.
struct ProdottoVendita {
    QString unitaVendita;  // UNITAVENDITA: "Litro" multiplies by the density
    bool busta = false;    // MODBUSTA '1': packages of BUSTEPIENE bags
    double divisore1 = 0;  // DIVISORE1
    double bustePiene = 0; // BUSTEPIENE
    double densita = 0;    // DENSITA of the product's formulation
};

struct PrezziVendita {
    double prezzoUnitaVendita = 0; // per kilogram or litre
    double prezzoConfezione = 0;   // per package
};

// PB / QP (0 unless QP is above 0,01), per litre times the density, and per
// package times DIVISORE1 (BUSTEPIENE for bags).
PrezziVendita calcolaPrezziVendita(double prezzoBase, double quantita,
                                   const ProdottoVendita& prodotto);

// The stored packaging cost has gone stale: it differs from today's by more
// than 0,01.
bool imballoDaAggiornare(double ricalcolato, double memorizzato);

// What the calculations tell of rows they read that are gone: codes listed
// as "a", "a e b", "a, b e c"; "La materia prima MP009 della formulazione 12
// non esiste più" (or "Le materie prime … non esistono più").
QString elencoCodici(const QStringList& codici);
QString materieMancanti(const QString& formulazione, const QStringList& materie);

// A price as the cost screen shows it ("###,###,##0.##": thousands
// separators, at most two decimals, halves away from zero).
QString testoPrezzo(double v);
// A unit value ("###,###,##0.####").
QString testoUnitario(double v);

} // namespace quintar::costi
