#pragma once

#include "platform/CertStore.h"

#include <QDateTime>
#include <QString>

namespace tervalia {

// How the certificate chooser shows one certificate: its cells, how urgent its renewal is, and the
// sentence a screen reader reads for the row.
struct LinhaCertificado
{
    enum class Situacao { Valido, AVencer, Expirado };

    // Certificates with fewer days left than this show in amber.
    static constexpr int diasAviso = 30;

    QString titular;
    QString documento;
    QString emissor;
    QString validoDe;
    QString validoAte;
    QString diasRestantes;
    Situacao situacao = Situacao::Valido;
    QString nomeAcessivel;
};

LinhaCertificado descreveCertificado(const certstore::Certificate& c, const QDateTime& agora);

// The row matches what was typed in the chooser's filter: holder or issuer without case and
// accents ("joao" finds "JOÃO"), or the digits of the document.
bool certificadoCombina(const certstore::Certificate& c, const QString& filtro);

} // namespace tervalia
