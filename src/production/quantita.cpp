#include "production/quantita.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace quintar::produzione {

namespace {

using i128 = __int128;

// The integer mantissas hold up to 38 digits.
constexpr int kMaxEsponente = 38;
constexpr int kMaxDecimaliProdotto = 18;
constexpr int kDecimaliIngresso = 9;

i128 potenza10(int n) {
    i128 p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

i128 assoluto(i128 v) {
    return v < 0 ? -v : v;
}

// num / den rounded to an integer, halves away from zero.
i128 divisioneArrotondata(i128 num, i128 den) {
    i128 q = num / den;
    const i128 r = assoluto(num % den);
    if (r >= assoluto(den) - r)
        q += ((num < 0) != (den < 0)) ? -1 : 1;
    return q;
}

std::string inTesto(i128 v) {
    if (v == 0)
        return "0";
    const bool negativo = v < 0;
    std::string s;
    for (i128 a = assoluto(v); a > 0; a /= 10)
        s.insert(s.begin(), char('0' + int(a % 10)));
    if (negativo)
        s.insert(s.begin(), '-');
    return s;
}

const Decimale kCentesimo = Decimale::intero(1, 2);

} // namespace

Decimale Decimale::intero(long long v, int scala) {
    return Decimale(v, scala).normalizzato();
}

Decimale Decimale::daDouble(double v) {
    if (!std::isfinite(v) || std::fabs(v) >= 1e27)
        return {};
    char buf[64];
    const auto fine =
        std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, kDecimaliIngresso);
    if (fine.ec != std::errc())
        return {};
    i128 m = 0;
    bool negativo = false;
    for (const char* p = buf; p != fine.ptr; ++p) {
        if (*p == '-')
            negativo = true;
        else if (*p >= '0' && *p <= '9')
            m = m * 10 + (*p - '0');
    }
    return Decimale(negativo ? -m : m, kDecimaliIngresso).normalizzato();
}

double Decimale::inDouble() const {
    const std::string s = inTesto(m_) + "e-" + std::to_string(scala_);
    return std::strtod(s.c_str(), nullptr);
}

Decimale Decimale::normalizzato() const {
    Decimale d = *this;
    if (d.m_ == 0)
        d.scala_ = 0;
    while (d.scala_ > 0 && d.m_ % 10 == 0) {
        d.m_ /= 10;
        --d.scala_;
    }
    return d;
}

Decimale Decimale::arrotondato(int decimali) const {
    if (scala_ <= decimali)
        return *this;
    return Decimale(divisioneArrotondata(m_, potenza10(scala_ - decimali)), decimali)
        .normalizzato();
}

long long Decimale::parteIntera(int k) const {
    if (k >= scala_)
        return static_cast<long long>(m_ * potenza10(k - scala_));
    if (scala_ - k > kMaxEsponente)
        return 0;
    return static_cast<long long>(m_ / potenza10(scala_ - k));
}

Decimale Decimale::operator+(const Decimale& b) const {
    Decimale x = normalizzato(), y = b.normalizzato();
    // Bring both to the finer scale; should that not fit, round the finer one.
    for (;;) {
        const int scala = std::max(x.scala_, y.scala_);
        i128 mx, my, somma;
        if (!__builtin_mul_overflow(x.m_, potenza10(scala - x.scala_), &mx) &&
            !__builtin_mul_overflow(y.m_, potenza10(scala - y.scala_), &my) &&
            !__builtin_add_overflow(mx, my, &somma))
            return Decimale(somma, scala).normalizzato();
        if (scala == 0)
            return daDouble(x.inDouble() + y.inDouble());
        if (x.scala_ == scala)
            x = x.arrotondato(scala - 1);
        if (y.scala_ == scala)
            y = y.arrotondato(scala - 1);
    }
}

Decimale Decimale::operator-(const Decimale& b) const {
    return *this + Decimale(-b.m_, b.scala_);
}

Decimale Decimale::operator*(const Decimale& b) const {
    Decimale x = normalizzato(), y = b.normalizzato();
    for (;;) {
        i128 p;
        if (!__builtin_mul_overflow(x.m_, y.m_, &p))
            return Decimale(p, x.scala_ + y.scala_)
                .arrotondato(kMaxDecimaliProdotto)
                .normalizzato();
        if (x.scala_ == 0 && y.scala_ == 0)
            return daDouble(x.inDouble() * y.inDouble());
        if (x.scala_ >= y.scala_)
            x = x.arrotondato(x.scala_ - 1);
        else
            y = y.arrotondato(y.scala_ - 1);
    }
}

Decimale Decimale::diviso(const Decimale& b, int decimali) const {
    if (b.m_ == 0)
        return {};
    // this / b × 10^decimali = m × 10^k / b.m
    const int k = b.scala_ + decimali - scala_;
    i128 num = m_, den = b.m_;
    const bool entra = std::abs(k) <= kMaxEsponente &&
                       (k >= 0 ? !__builtin_mul_overflow(num, potenza10(k), &num)
                               : !__builtin_mul_overflow(den, potenza10(-k), &den));
    if (!entra)
        return daDouble(inDouble() / b.inDouble()).arrotondato(decimali);
    return Decimale(divisioneArrotondata(num, den), decimali).normalizzato();
}

bool Decimale::operator==(const Decimale& b) const {
    const Decimale x = normalizzato(), y = b.normalizzato();
    return x.m_ == y.m_ && x.scala_ == y.scala_;
}

bool lottoInKg(const QString& unitaMisura) {
    return unitaMisura.trimmed().compare(QLatin1String("Kg"), Qt::CaseInsensitive) == 0;
}

double densitaPerQuantita(const QString& unitaMisura, double densitaProdotto) {
    return lottoInKg(unitaMisura) ? 1.0 : densitaProdotto;
}

double quantitaTotale(double quantitaLotto, double densita) {
    return (Decimale::daDouble(quantitaLotto) * Decimale::daDouble(densita)).inDouble();
}

PesataRiga pesataRiga(double percentuale, double quantitaLotto, double densita,
                      double tolleranzaGrammiKg) {
    const Decimale q = Decimale::daDouble(percentuale) * Decimale::daDouble(quantitaLotto) *
                       Decimale::daDouble(densita) * kCentesimo;
    PesataRiga r;
    r.quantita = q.inDouble();
    // e: the line in hundredths of a gram.
    const long long e = q.parteIntera(5);
    if (e <= 0)
        return r;

    Decimale pesata;
    if (e <= 10000) { // up to 100 g: to the hundredth of a gram
        r.bilancia = 1;
        pesata = Decimale::intero(e, 5);
    } else if (e <= 200000) { // up to 2 kg: down to a multiple of 5 g
        r.bilancia = 2;
        pesata = Decimale::intero(q.parteIntera(3) / 5 * 5, 3);
    } else if (e <= 1000000) { // up to 10 kg: down to 10 g, plus 10 g
        r.bilancia = 3;
        pesata = Decimale::intero(q.parteIntera(2) + 1, 2);
    } else { // down to 100 g, plus 100 g
        r.bilancia = 11;
        pesata = Decimale::intero(q.parteIntera(1) + 1, 1);
    }
    r.quantitaPesata = pesata.inDouble();

    // l: the tolerance in hundredths of a gram, TOLLERANZA × q / 1000 × 100000.
    const long long l = (Decimale::daDouble(tolleranzaGrammiKg) * q).parteIntera(2);
    switch (r.bilancia) {
    case 1:
        r.tolleranza = l > 1 ? Decimale::intero(l, 2).inDouble() : 0.01;
        break;
    case 2:
        r.tolleranza = l > 500 ? Decimale::intero(l / 5 * 5, 2).inDouble() : 5.0;
        break;
    case 3:
        r.tolleranza = l > 1000 ? double(l / 1000 * 10) : 10.0;
        break;
    default:
        r.tolleranza = l > 10000 ? double(l / 10000 * 100) : 100.0;
        break;
    }
    return r;
}

AcquaAddolcita acquaAddolcita(std::span<const double> percentualiRighe, double quantitaLotto,
                              double densita) {
    Decimale s;
    for (double p : percentualiRighe)
        s = s + Decimale::daDouble(p);
    const Decimale resto = Decimale::intero(100) - s;

    AcquaAddolcita a;
    a.percentuale = Decimale::intero(resto.parteIntera(2), 2).inDouble();
    // Int(Q × d × (100 − s) / 100 × 10) / 10
    const Decimale w = Decimale::intero(
        (Decimale::daDouble(quantitaLotto) * Decimale::daDouble(densita) * resto).parteIntera(-1),
        1);
    a.quantita = w.inDouble();
    // Int(w × 5 / 100) × 100
    a.tolleranza = double((w * Decimale::intero(5)).parteIntera(-2) * 100);
    return a;
}

ValoriCritici valoriCritici(const RigaCritica& riga, std::optional<double> quantitaLotto,
                            std::optional<double> densitaFormulazione, bool inKg) {
    const auto valore = [](std::optional<double> v) {
        return v ? Decimale::daDouble(*v) : Decimale();
    };
    const Decimale p = valore(riga.percentuale), ma = valore(riga.materiaAttiva),
                   mar = valore(riga.materiaAttivaReale);

    Decimale agg;
    if (!p.zero() && !ma.zero() && !mar.zero())
        agg = (p * ma).diviso(mar, 4);

    Decimale calc;
    if (quantitaLotto && (inKg || densitaFormulazione)) {
        const Decimale d = inKg ? Decimale::intero(1) : valore(densitaFormulazione);
        calc = (agg * valore(quantitaLotto) * d * kCentesimo).arrotondato(4);
    }
    const Decimale kg = (calc * Decimale::intero(101, 2)).arrotondato(4);

    return {agg.inDouble(), calc.inDouble(), kg.inDouble()};
}

} // namespace quintar::produzione
