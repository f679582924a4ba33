// What the database layer's own files share of the Firebird OO API: the
// master interface, a failed call turned into DbError, and the transaction
// parameter block. Not for the screens: they see db.h only.
#pragma once

#include "session/db.h"

#include <QStringList>
#include <algorithm>
#include <firebird/Interface.h>
#include <ibase.h>
#include <iterator>
#include <vector>

namespace quintar::fbinterno {

inline Firebird::IMaster* master() {
    static Firebird::IMaster* m = Firebird::fb_get_master_interface();
    return m;
}

inline DbError erroreDa(Firebird::IStatus* s) {
    char buf[2048];
    master()->getUtilInterface()->formatStatus(buf, sizeof(buf), s);
    const intptr_t* v = s->getErrors();
    const long gds = (v && v[0] == isc_arg_gds) ? long(v[1]) : 0;
    QString msg = QString::fromUtf8(buf).trimmed();
    msg.replace('\n', ' ');
    return DbError(msg, int(isc_sqlcode(v)), gds);
}

// Runs a call of the OO API, turning a Firebird failure into DbError.
template <typename F> auto fb(F&& f) {
    Firebird::ThrowStatusWrapper st(master()->getStatus());
    try {
        if constexpr (std::is_void_v<decltype(f(&st))>) {
            f(&st);
            st.dispose();
        } else {
            auto r = f(&st);
            st.dispose();
            return r;
        }
    } catch (const Firebird::FbException& e) {
        DbError err = erroreDa(e.getStatus());
        st.dispose();
        throw err;
    }
}

// The parameter block of a transaction from the parameters' names
// ("isc_tpb_concurrency", "isc_tpb_nowait", ...); with `attesa` > 0 a
// conflicting lock is waited for that many seconds instead.
inline std::vector<unsigned char> bloccoTpb(const QStringList& params, int attesa = 0) {
    static const std::pair<const char*, unsigned char> nomi[] = {
        {"isc_tpb_concurrency", isc_tpb_concurrency},
        {"isc_tpb_consistency", isc_tpb_consistency},
        {"isc_tpb_read_committed", isc_tpb_read_committed},
        {"isc_tpb_rec_version", isc_tpb_rec_version},
        {"isc_tpb_no_rec_version", isc_tpb_no_rec_version},
        {"isc_tpb_nowait", isc_tpb_nowait},
        {"isc_tpb_wait", isc_tpb_wait},
        {"isc_tpb_read", isc_tpb_read},
        {"isc_tpb_write", isc_tpb_write},
    };
    std::vector<unsigned char> b{isc_tpb_version3};
    for (const QString& p : params) {
        const QString k = p.trimmed();
        if (k.isEmpty() || (attesa > 0 && (k == QLatin1String("isc_tpb_nowait") ||
                                           k == QLatin1String("isc_tpb_wait")))) {
            continue;
        }
        auto it = std::find_if(std::begin(nomi), std::end(nomi),
                               [&](auto& n) { return k == QLatin1String(n.first); });
        if (it == std::end(nomi)) {
            throw DbError(QStringLiteral("Parametro di transazione sconosciuto: ") + k);
        }
        b.push_back(it->second);
    }
    if (attesa > 0) {
        b.push_back(isc_tpb_wait);
        b.push_back(isc_tpb_lock_timeout);
        b.push_back(4);
        for (int i = 0; i < 4; ++i) {
            b.push_back(static_cast<unsigned char>((quint32(attesa) >> (8 * i)) & 0xFF));
        }
    }
    return b;
}

} // namespace quintar::fbinterno
