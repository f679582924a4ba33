#include "formulation/calcolocosti.h"

#include "master/costoimballo.h"
#include "session/formati.h"

#include <algorithm>
#include <cmath>

namespace quintar::costi {

double ArrotondaDecimali(double valore, int decimali) {
    if (!std::isfinite(valore)) {
        return valore;
    }
    const int n = std::clamp(decimali, 0, 15);
    const double scala = std::pow(10.0, n);
    double x = valore * scala;
    x += valore < 0 ? -0.5000001 : 0.5000001;
    const double arrotondato = std::trunc(x) / scala;
    // written with n decimals and read back, as the value a user would see
    return QString::number(arrotondato, 'f', n).toDouble();
}

Coefficienti coefficientiPredefiniti(const std::optional<ParametriCosti>& parametri) {
    Coefficienti c;
    if (parametri) {
        if (parametri->coeffRicarico != 0) {
            c.ricarico = parametri->coeffRicarico;
        }
        if (parametri->coeffAgente != 0) {
            c.agente = parametri->coeffAgente;
        }
        if (parametri->coeffSconto != 0) {
            c.sconto = parametri->coeffSconto;
        }
    }
    return c;
}

TotaliCosti calcolaTotali(const DatiCalcolo& d) {
    const ParametriCosti p = d.parametri.value_or(ParametriCosti{});
    const SchedaCosti& s = d.scheda;
    TotaliCosti t;

    double trasporto = p.trasporto;
    Coefficienti c = coefficientiPredefiniti(d.parametri);
    if (s.secondaria) {
        trasporto = 0;
        c = Coefficienti{};
    } else {
        if (s.coeffRicarico != 0) {
            c.ricarico = s.coeffRicarico;
        }
        if (s.coeffAgente != 0) {
            c.agente = s.coeffAgente;
        }
        if (s.coeffSconto != 0) {
            c.sconto = s.coeffSconto;
        }
    }
    t.coefficienti = c;

    const double qp = s.quantita;
    t.costoTempo = p.costoTempo;
    t.costoManodopera = (s.tempoAvvio + (s.tempoProduzione + s.tempoConfezionamento) * qp +
                         s.tempoControlloQualita) *
                        p.costoTempo;
    t.costoMateriali = d.costoUnitarioProdotto;
    t.costoBase = d.totaleCostiBaseSecondarie + t.costoManodopera;
    if (s.tipoComposizione == 0) {
        t.costoBase += qp * t.costoMateriali;
    }
    t.costoBeta = p.costiBaseAnnui > 0.0001 ? p.costiGeneraliAnnui / p.costiBaseAnnui : 0;
    t.costiGenerali = t.costoBase * t.costoBeta;
    t.costoTotale = t.costoBase + t.costiGenerali;
    t.costoTrasporto = qp * trasporto;
    t.costoConTrasporto = t.costoTotale + t.costoTrasporto;
    t.prezzoBase = t.costoTotale * c.ricarico;
    t.prezzoBaseConAgente = t.prezzoBase * c.agente;
    t.prezzoScontato = t.prezzoBaseConAgente * c.sconto;

    const bool divisibile = qp > kQuantitaMinima;
    t.costoAvvioUnitario = divisibile ? s.tempoAvvio / qp * p.costoTempo : 0;
    t.costoControlloQualUnit = divisibile ? s.tempoControlloQualita / qp * p.costoTempo : 0;
    t.costoProduzioneUnitario = s.tempoProduzione * p.costoTempo;
    t.costoConfezUnitario = s.tempoConfezionamento * p.costoTempo;
    t.costoRawMater = d.costoRawMater;
    t.costoContenitore = d.costoContenitore;
    if (s.secondaria && divisibile) {
        t.costoBaseUnitario = t.costoManodopera / qp + t.costoMateriali;
    }
    return t;
}

double costoUnitarioProdotto(const std::vector<RigaComponente>& righe, double costoImballo) {
    return calcolaCostiComponenti(righe, 0).totale + costoImballo;
}

double costoImballoProdotto(const std::array<std::optional<double>, 8>& costi,
                            const std::array<double, 6>& divisori) {
    // the products card leaves out a group only when its divisor is 0; the
    // cost sheets also leave out divisors up to 0,01
    std::array<double, 6> usati{};
    for (size_t i = 0; i < divisori.size(); ++i) {
        usati[i] = divisori[i] > kQuantitaMinima ? divisori[i] : 0;
    }
    return imballi::costoUnitario(costi, usati);
}

ValoriUnitari calcolaCostiUnitari(const DatiUnitari& d) {
    ValoriUnitari v;
    if (!d.secondaria) {
        v.coeffRicarico = d.coeffRicarico > 0.01 ? d.coeffRicarico
                                                 : coefficientiPredefiniti(d.parametri).ricarico;
    }
    const bool divisibile = d.quantita > kQuantitaMinima;
    if (d.secondaria) {
        v.costoBaseUnitario = d.costoBaseUnitario;
    } else if (divisibile) {
        const double manodopera = d.costoManodopera / d.quantita;
        switch (d.tipoCalcUnitario) {
        case 1:
            v.costoBaseUnitario = manodopera + d.costoMateriali + d.somme.costiUnitariVendita;
            break;
        case 2:
            v.costoBaseUnitario = manodopera + d.somme.costiBaseUnitari;
            break;
        case 3:
            v.costoBaseUnitario = manodopera + d.somme.costiUnitariVendita;
            break;
        default:
            v.costoBaseUnitario = manodopera + d.costoMateriali + d.somme.costiBaseUnitari;
            break;
        }
    }
    if (v.costoBaseUnitario) {
        v.costiGeneraliUnitari = *v.costoBaseUnitario * d.costoBeta;
        v.costoTotaleUnitario = *v.costoBaseUnitario + *v.costiGeneraliUnitari;
    }
    if (!d.secondaria && divisibile) {
        v.costoTrasportoUnitario = d.costoTrasporto / d.quantita;
        if (v.costoTotaleUnitario) {
            v.costoConTrasportoUnitario = *v.costoTotaleUnitario + *v.costoTrasportoUnitario;
            v.prezzoBaseUnitario = *v.costoTotaleUnitario * v.coeffRicarico;
        }
    }
    return v;
}

PrezziVendita calcolaPrezziVendita(double prezzoBase, double quantita,
                                   const ProdottoVendita& prodotto) {
    PrezziVendita p;
    const double base = quantita > kQuantitaMinima ? prezzoBase / quantita : 0;
    p.prezzoUnitaVendita =
        prodotto.unitaVendita == QLatin1String("Litro") ? base * prodotto.densita : base;
    p.prezzoConfezione =
        p.prezzoUnitaVendita * (prodotto.busta ? prodotto.bustePiene : prodotto.divisore1);
    return p;
}

bool imballoDaAggiornare(double ricalcolato, double memorizzato) {
    return std::abs(ricalcolato - memorizzato) > 0.01;
}

QString elencoCodici(const QStringList& codici) {
    if (codici.size() <= 1) {
        return codici.value(0);
    }
    return QStringList(codici.mid(0, codici.size() - 1)).join(QStringLiteral(", ")) +
           QStringLiteral(" e ") + codici.last();
}

QString materieMancanti(const QString& formulazione, const QStringList& materie) {
    return (materie.size() == 1
                ? QStringLiteral("La materia prima %1 della formulazione %2 non esiste più")
                : QStringLiteral("Le materie prime %1 della formulazione %2 non esistono più"))
        .arg(elencoCodici(materie), formulazione);
}

namespace {

// The decimal number a double stands for (its 15 significant digits),
// rounded to `decimali` decimals with halves away from zero, with grouped
// thousands and no trailing zeros.
QString testoDecimale(double v, int decimali) {
    if (!std::isfinite(v)) {
        return QString();
    }
    const bool negativo = v < 0;
    // d.dddddddddddddde±x
    const QString e = QString::number(std::abs(v), 'e', 14);
    const qsizetype pe = e.indexOf('e');
    QString cifre = e.left(pe);
    cifre.remove('.');
    const int esponente = e.mid(pe + 1).toInt();
    // the digits as a whole number of 10^-decimali
    const int tenute = esponente + 1 + decimali;
    QString intero;
    if (tenute <= 0) {
        intero = (tenute == 0 && cifre[0] >= '5') ? QStringLiteral("1") : QStringLiteral("0");
    } else if (tenute >= cifre.size()) {
        intero = cifre + QString(tenute - cifre.size(), '0');
    } else {
        intero = cifre.left(tenute);
        if (cifre[tenute] >= '5') {
            int i = int(intero.size()) - 1;
            for (; i >= 0; --i) {
                if (intero[i] == '9') {
                    intero[i] = '0';
                } else {
                    intero[i] = QChar(intero[i].unicode() + 1);
                    break;
                }
            }
            if (i < 0) {
                intero.prepend('1');
            }
        }
    }
    if (intero.size() <= decimali) {
        intero = QString(decimali + 1 - intero.size(), '0') + intero;
    }
    QString parteIntera = intero.left(intero.size() - decimali);
    QString parteDecimale = intero.right(decimali);
    while (parteDecimale.endsWith('0')) {
        parteDecimale.chop(1);
    }
    while (parteIntera.size() > 1 && parteIntera.startsWith('0')) {
        parteIntera.remove(0, 1);
    }
    for (qsizetype i = parteIntera.size() - 3; i > 0; i -= 3) {
        parteIntera.insert(i, Formati::correnti().separatoreMigliaia);
    }
    QString r = parteIntera;
    if (!parteDecimale.isEmpty()) {
        r += Formati::separatoreDecimale() + parteDecimale;
    }
    return negativo && r != QLatin1String("0") ? '-' + r : r;
}

} // namespace

QString testoPrezzo(double v) {
    return testoDecimale(v, 2);
}

QString testoUnitario(double v) {
    return testoDecimale(v, 4);
}

} // namespace quintar::costi
