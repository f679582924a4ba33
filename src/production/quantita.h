// The figures of a batch's components: the quantity each line weighs, the
// scale it goes on and its weighing tolerance, the softened water that makes
// the recipe up to 100 %, and the critical components recomputed for the real
// active matter in stock.
//
// The archive keeps these values as binary doubles, where 4,35 is a hair
// below 4,35 and a truncation lands on the wrong figure. Every input is
// therefore read as the decimal it stands for (rounded to nine decimals, far
// more than any field edits) and the arithmetic is done on exact decimals, so
// each result is the figure a person works out on paper. Results are handed
// back as the doubles nearest to those figures.
#pragma once

#include <QString>
#include <optional>
#include <span>

namespace quintar::produzione {

// An exact decimal: mantissa / 10^scala. Products keep at most 18 decimals and
// quotients the decimals asked for, halves away from zero.
class Decimale {
public:
    Decimale() = default;
    // v / 10^scala.
    static Decimale intero(long long v, int scala = 0);
    // The figure a stored double stands for, rounded to nine decimals; a value
    // that is not a number, or beyond ±10^27, reads as 0.
    static Decimale daDouble(double v);

    double inDouble() const;
    bool zero() const { return m_ == 0; }
    bool positivo() const { return m_ > 0; }

    Decimale operator+(const Decimale& b) const;
    Decimale operator-(const Decimale& b) const;
    Decimale operator*(const Decimale& b) const;
    // this / b to `decimali` decimals, halves away from zero; 0 when b is 0.
    Decimale diviso(const Decimale& b, int decimali) const;
    // To `decimali` decimals, halves away from zero.
    Decimale arrotondato(int decimali) const;
    // Int(this × 10^k): the integral part, truncated towards zero.
    long long parteIntera(int k = 0) const;

    bool operator==(const Decimale& b) const;

private:
    Decimale(__int128 m, int scala) : m_(m), scala_(scala) {}
    Decimale normalizzato() const;
    __int128 m_ = 0;
    int scala_ = 0;
};

// A batch measured in "Kg" weighs its quantity as it stands; any other unit
// is a volume converted through the product's density.
bool lottoInKg(const QString& unitaMisura);
// d: 1 for a batch in "Kg", otherwise the batch's product density.
double densitaPerQuantita(const QString& unitaMisura, double densitaProdotto);

// "Q.tà totale": Q × d, kilograms.
double quantitaTotale(double quantitaLotto, double densita);

// What a component line weighs.
struct PesataRiga {
    double quantita = 0;       // q = P × Q × d / 100, kilograms
    int bilancia = 0;          // scale class 1, 2, 3 or 11; 0 when q is under 0,01 g
    double quantitaPesata = 0; // "Quant. Kg"; 0 when there is no scale class
    // "Toll." in grams; none when there is no scale class.
    std::optional<double> tolleranza;
};

// The line of percentage `percentuale` in a batch of `quantitaLotto` at
// density `densita`, with a weighing tolerance of `tolleranzaGrammiKg` grams
// per kilogram (0 when the line has none).
PesataRiga pesataRiga(double percentuale, double quantitaLotto, double densita,
                      double tolleranzaGrammiKg);

// The softened water that makes the batch's lines up to 100 %.
struct AcquaAddolcita {
    double percentuale = 0; // truncated to two decimals
    double quantita = 0;    // kilograms, truncated to 100 g
    double tolleranza = 0;  // grams: 5 g per kilogram, truncated to 100 g
    int bilancia = 11;      // always the floor scale
};

// `percentualiRighe` are the percentages of the batch's own component lines
// (an empty percentage counts as 0).
AcquaAddolcita acquaAddolcita(std::span<const double> percentualiRighe, double quantitaLotto,
                              double densita);

// A critical line of the product's formulation; empty values are absent.
struct RigaCritica {
    std::optional<double> percentuale;        // P of the formulation line
    std::optional<double> materiaAttiva;      // the material's theoretical active matter
    std::optional<double> materiaAttivaReale; // the line's real active matter
};

// "% Agg.", "Q.calc." and "Q.tà Kg", each rounded to four decimals as shown
// and each computed from the previous one as shown; 0 where a value is
// missing.
struct ValoriCritici {
    double percentualeAggiornata = 0;
    double quantitaCalcolata = 0;
    double quantitaKg = 0;
};

// `densitaFormulazione` converts the batch's volume into kilograms; a batch in
// "Kg" (`inKg`) is not converted.
ValoriCritici valoriCritici(const RigaCritica& riga, std::optional<double> quantitaLotto,
                            std::optional<double> densitaFormulazione, bool inKg);

} // namespace quintar::produzione
