// The measuring pieces every benchmark shares: medians, timers, and the
// platform a benchmark runs on when none is asked for.
#pragma once

#include <QElapsedTimer>
#include <QtGlobal>
#include <algorithm>
#include <functional>
#include <vector>

namespace bench {

// Headless unless the caller asked for a platform; before the application
// object is made.
inline void piattaformaPredefinita() {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

inline double mediana(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Milliseconds since the timer started.
inline double ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

// The mean time of `volte` calls, in microseconds.
inline double media(int volte, const std::function<void()>& f) {
    QElapsedTimer c;
    c.start();
    for (int i = 0; i < volte; ++i) {
        f();
    }
    return double(c.nsecsElapsed()) / 1000.0 / volte;
}

// Median over `giri` rounds of the mean time of `volte` calls, in microseconds.
inline double misura(int giri, int volte, const std::function<void()>& f) {
    std::vector<double> t;
    for (int g = 0; g < giri; ++g) {
        t.push_back(media(volte, f));
    }
    return mediana(std::move(t));
}

// The same for several calls taken in turn within each round, so that a
// machine that slows down or speeds up during the run weighs on all of them
// alike: per call, the median of its round means; and the median over the
// rounds of the ratio `rapporto` makes of one round's means.
struct Alternate {
    std::vector<double> mediane;
    double rapporto = 0;
};
inline Alternate
misuraAlternate(int giri, int volte, const std::vector<std::function<void()>>& f,
                const std::function<double(const std::vector<double>&)>& rapporto) {
    std::vector<std::vector<double>> t(f.size());
    std::vector<double> rapporti;
    for (int g = 0; g < giri; ++g) {
        std::vector<double> giro;
        for (size_t k = 0; k < f.size(); ++k) {
            giro.push_back(media(volte, f[k]));
            t[k].push_back(giro.back());
        }
        rapporti.push_back(rapporto(giro));
    }
    Alternate a;
    for (std::vector<double>& v : t) {
        a.mediane.push_back(mediana(std::move(v)));
    }
    a.rapporto = mediana(std::move(rapporti));
    return a;
}

} // namespace bench
