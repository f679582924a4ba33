#include "inizializza.h"

#include "report/layoutpredefiniti.h"
#include "session/datiini.h"
#include "session/db.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <stdexcept>

using quintar::Database;
using quintar::DbError;
using quintar::Query;
using quintar::Transaction;

static void caricaRisorseSchema() {
    Q_INIT_RESOURCE(schema);
}

namespace tovaris {

QString schema(const QString& nome) {
    static const bool pronte = (caricaRisorseSchema(), true);
    (void)pronte;
    QFile f(QStringLiteral(":/schema/") + nome);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(f.readAll());
}

std::vector<Cartella::Archivio> Cartella::archivi() const {
    return {{prefissoAlias + "user", userDb()},
            {prefissoAlias + "quintar", azienda()},
            {prefissoAlias + "tovaris", erp()},
            {prefissoAlias + "pesate", pesate()}};
}

QString nomeConnessione(const QString& file) {
    const QString dir = QFileInfo(file).path() + '/';
    const QString server = quintar::datiini::leggi(dir, QStringLiteral("Nome Server"));
    const QString alias = quintar::datiini::leggi(dir, QStringLiteral("Alias"));
    if (!server.isEmpty() && !alias.isEmpty()) {
        return server + ':' + alias;
    }
    return file;
}

namespace {

// On a server the archive is created through its alias, after the dati.ini
// of its folder names server and alias.
void creaArchivio(const Cartella& c, const QString& file, const QString& ddl, const QString& demo) {
    if (QFileInfo::exists(file)) {
        throw std::runtime_error(("l'archivio esiste già: " + file).toStdString());
    }
    QString nome = file;
    if (!c.server.isEmpty()) {
        QString alias;
        for (const Cartella::Archivio& a : c.archivi()) {
            if (a.file == file) {
                alias = a.alias;
            }
        }
        const QString dir = QFileInfo(file).path() + '/';
        if (!quintar::datiini::scrivi(dir, QStringLiteral("Nome Server"), c.server) ||
            !quintar::datiini::scrivi(dir, QStringLiteral("Alias"), alias)) {
            throw std::runtime_error(("dati.ini non scritto in " + dir).toStdString());
        }
        nome = c.server + ':' + alias;
    }
    Database db;
    try {
        db.create(nome);
        quintar::eseguiScript(db, schema(ddl));
        if (!demo.isEmpty()) {
            quintar::eseguiScript(db, schema(demo));
        }
    } catch (const DbError& e) {
        db.disconnect();
        QFile::remove(file);
        throw std::runtime_error((nome + ": " + e.messaggio()).toStdString());
    }
}

void disegnaIcona(const QString& file) {
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x1f, 0x6f, 0xb5));
    p.setPen(Qt::NoPen);
    p.drawEllipse(2, 2, 28, 28);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(20);
    p.setFont(f);
    p.drawText(img.rect(), Qt::AlignCenter, QStringLiteral("Q"));
    p.end();
    if (!img.save(file, "ICO")) {
        // without the ico image plugin a PNG under the same name still loads
        img.save(file, "PNG");
    }
}

} // namespace

void scriviParametriUtenti(const Cartella& c) {
    Database db;
    db.connect(nomeConnessione(c.userDb()));
    Transaction tr(&db);
    Query utenti(&db, &tr);
    utenti.SQL = {QStringLiteral("SELECT CODICE, DITTA FROM UTENTI ORDER BY CODICE")};
    utenti.open();
    std::vector<std::pair<qint64, QString>> elenco;
    for (; !utenti.eof(); utenti.next()) {
        elenco.emplace_back(utenti.field(0).asInteger(), utenti.field(1).asString());
    }
    utenti.close();
    const std::pair<const char*, QString> parametri[] = {
        {"Directory bin", c.radice},
        {"ArchivioQuintar", c.azienda()},
        {"Archivio", c.erp()},
        {"Directory tabelle temporanee", c.radice + "Temp/"},
        {"Directory Immagini", c.radice + "Immagini/"},
        {"Directory di lavoro Quintar", c.radice + "Lavoro/"},
        {"NomePathProgrammaWord", QStringLiteral("xdg-open")},
    };
    Query q(&db, &tr);
    for (const auto& [utente, ditta] : elenco) {
        q.SQL = {QStringLiteral("DELETE FROM TABARBELON WHERE UTENTE=?")};
        q.setParams({utente});
        q.execSQL();
        int prog = 1;
        for (const auto& [nome, valore] : parametri) {
            q.SQL = {QStringLiteral("INSERT INTO TABARBELON (UTENTE,INTESTAZIONE,PARAMETRO,VALORE,"
                                    "PROGRESSIVO) VALUES (?,?,?,?,?)")};
            q.setParams({utente, ditta, QString::fromUtf8(nome), valore, prog++});
            q.execSQL();
        }
    }
    tr.commit();
}

Cartella inizializza(const QString& dir, bool demo, const QString& server,
                     const QString& prefissoAlias) {
    Cartella c;
    c.radice = QDir(dir).absolutePath() + '/';
    c.server = server;
    c.prefissoAlias = prefissoAlias;
    QStringList sotto = {"user", "Dati",     "Report", "Grafica",
                         "Temp", "Immagini", "Lavoro", "Etichette"};
    for (const Cartella::Archivio& a : c.archivi()) {
        sotto << QFileInfo(a.file).path().mid(c.radice.size());
    }
    for (const QString& s : sotto) {
        if (!QDir().mkpath(c.radice + s)) {
            throw std::runtime_error(
                ("impossibile creare la cartella " + c.radice + s).toStdString());
        }
    }
    creaArchivio(c, c.userDb(), QStringLiteral("user.sql"), QStringLiteral("demo/user.sql"));
    creaArchivio(c, c.azienda(), QStringLiteral("company.sql"),
                 demo ? QStringLiteral("demo/company.sql") : QString());
    creaArchivio(c, c.erp(), QStringLiteral("erp.sql"),
                 demo ? QStringLiteral("demo/erp.sql") : QString());
    creaArchivio(c, c.pesate(), QStringLiteral("weighing.sql"),
                 demo ? QStringLiteral("demo/weighing.sql") : QString());
    scriviParametriUtenti(c);

    Database az;
    az.connect(nomeConnessione(c.azienda()));
    Transaction tr(&az);
    Query q(&az, &tr);
    const std::pair<const char*, QString> tabx[] = {
        {"ArchivioTovaris", c.erp()},
        {"ArchivioPesate", c.pesate()},
        {"PercorsoReportEtic", c.radice + "Etichette/"},
    };
    for (const auto& [nome, valore] : tabx) {
        q.SQL = {QStringLiteral("DELETE FROM TABX WHERE NOME=? AND UTENTE IS NULL")};
        q.setParams({QString::fromUtf8(nome)});
        q.execSQL();
        q.SQL = {QStringLiteral("INSERT INTO TABX (CODICE,NOME,TESTO,UTENTE) "
                                "VALUES (GEN_ID(CODICETABXCOUNTER,1),?,?,NULL)")};
        q.setParams({QString::fromUtf8(nome), valore});
        q.execSQL();
    }
    tr.commit();
    disegnaIcona(c.radice + "Grafica/QUINTAR.ICO");
    QString errore;
    if (!quintar::report::scriviLayoutPredefiniti(c.radice + "Report", false, &errore)) {
        throw std::runtime_error(("layout di stampa non scritti: " + errore).toStdString());
    }
    return c;
}

} // namespace tovaris
