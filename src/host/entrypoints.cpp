// The exported entry points: one line per screen, all through the launch table.
#include "host/lancio.h"

#define QUINTAR_ENTRATA __attribute__((visibility("default")))

#define ENTRATA_D(NOME)                                                                            \
    extern "C" QUINTAR_ENTRATA int NOME##D(int utente) {                                           \
        return quintar::lanciaDaEntrata(#NOME, utente, std::nullopt);                              \
    }
#define ENTRATA_X(NOME)                                                                            \
    extern "C" QUINTAR_ENTRATA int NOME##X(int utente, int finestra) {                             \
        return quintar::lanciaDaEntrata(#NOME, utente, finestra);                                  \
    }
#define ENTRATA_DX(NOME) ENTRATA_D(NOME) ENTRATA_X(NOME)

ENTRATA_DX(ShowFornitoForm)
ENTRATA_DX(ShowMaterForm)
ENTRATA_DX(ShowImballiForm)
ENTRATA_DX(ShowProdottiForm)
ENTRATA_DX(ShowFormulForm)
ENTRATA_X(ShowImpoVarieForm)
ENTRATA_X(ShowSincroTovarisForm)
ENTRATA_X(ShowAcqCliQuintarForm)
ENTRATA_X(ShowRegolarizzaForm)
ENTRATA_DX(ShowSincroPrezziForm)
ENTRATA_DX(ShowCParForm)
ENTRATA_DX(ShowCostiForm)
ENTRATA_DX(ShowPrAcquaForm)
ENTRATA_DX(ShowLiqPolvForm)
ENTRATA_X(ShowImpFabbrForm)
ENTRATA_X(ShowProdFabbrForm)
ENTRATA_X(ShowIdPesateForm)
ENTRATA_X(ShowStoPesateForm)
ENTRATA_DX(ShowTracciabilitaForm)

// configuration tables
ENTRATA_DX(ShowCategMPForm)
ENTRATA_DX(ShowSRischiForm)
ENTRATA_DX(ShowSpecForm)
ENTRATA_DX(ShowValutazForm)
ENTRATA_DX(ShowTipiImballiForm)
ENTRATA_DX(ShowIniConfForm)
ENTRATA_DX(ShowIniRiempForm)
ENTRATA_DX(ShowIniCConfForm)
ENTRATA_DX(ShowIniCCon1Form)
ENTRATA_X(ShowConvCapConfForm)
ENTRATA_DX(ShowIniCatPrForm)
ENTRATA_DX(ShowCodADRForm)
ENTRATA_DX(ShowCodADR2017Form)

// data exchange and maintenance
ENTRATA_DX(ShowConvForm)
