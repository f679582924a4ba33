#include "scala.h"
#include "support/archivi.h"

#include <gtest/gtest.h>

TEST(ArchivioGrande, HoldsTheRequestedRowsAndCoherentFormulations) {
    prova::Cartella h;
    tovaris::Quantita q;
    q.materie = 300;
    q.formulazioni = 40;
    q.righePerFormulazione = 20;
    q.prodotti = 50;
    q.fabbricazioni = 120;
    q.pesate = 500;
    tovaris::riempiScala(h.c(), q);
    const QString az = h.c().azienda();
    EXPECT_EQ(h.conta(az, "SELECT COUNT(*) FROM MATER"), 300);
    EXPECT_EQ(h.conta(az, "SELECT COUNT(*) FROM FORMUL"), 40);
    EXPECT_EQ(h.conta(az, "SELECT COUNT(*) FROM COMPON"), 800);
    EXPECT_EQ(h.conta(az, "SELECT COUNT(*) FROM PRODOT"), 50);
    EXPECT_EQ(h.conta(az, "SELECT COUNT(*) FROM FABBRIC"), 120);
    EXPECT_EQ(h.conta(h.c().pesate(), "SELECT COUNT(*) FROM PESATE"), 500);
    // no formulation goes over 100 %, and every line names an existing material
    EXPECT_EQ(h.conta(az, "SELECT COUNT(*) FROM (SELECT CODICEFORMULAZIONE FROM COMPON "
                          "GROUP BY CODICEFORMULAZIONE HAVING SUM(PERCENTUALE) > 100.0001)"),
              0);
    EXPECT_EQ(h.conta(az, "SELECT COUNT(*) FROM COMPON C WHERE NOT EXISTS "
                          "(SELECT 1 FROM MATER M WHERE M.CODICE = C.CODICEMATERIAPRIMA)"),
              0);
    // the traceability chain: lines, weighings assigned to the first of them,
    // a consumption line every ten batches, lots and serials in the host archive
    const QString erp = h.c().erp();
    EXPECT_EQ(h.conta(az, "SELECT COUNT(*) FROM FABBCOMPON"), 600);
    EXPECT_EQ(h.conta(az, "SELECT COUNT(*) FROM PESATE_FABBR"), 500);
    EXPECT_EQ(h.conta(az, "SELECT COUNT(*) FROM FABBCOMPON WHERE PESATA IS NULL"), 100);
    EXPECT_EQ(h.conta(az, "SELECT COUNT(*) FROM CONSUMI"), 12);
    EXPECT_EQ(h.conta(erp, "SELECT COUNT(*) FROM LOTTI"), 12);
    EXPECT_EQ(h.conta(erp, "SELECT COUNT(*) FROM SERIALI"), 60);
    EXPECT_EQ(h.conta(az, "SELECT COUNT(*) FROM PESATE_FABBR P WHERE NOT EXISTS (SELECT 1 FROM "
                          "FABBCOMPON A WHERE A.SERIALE = P.BARCODE AND A.CODICEMATERIAPRIMA = "
                          "P.CODICEMATERIAPRIMA AND A.LOTTOFABBRICAZIONE = P.LOTTOFABBRICAZIONE)"),
              0);
    EXPECT_EQ(h.conta(erp, "SELECT COUNT(*) FROM ORDC"),
              h.conta(az, "SELECT COUNT(*) FROM FABBRIC WHERE IDORDINEIMPMAT IS NOT NULL"));
    // every batch state is represented
    EXPECT_EQ(h.conta(az, "SELECT COUNT(DISTINCT COALESCE(STATUS, '-')) FROM FABBRIC"), 5);
}
