#pragma once

#include "storage/access/TransporteAccess.h"

#include <QList>
#include <QString>
#include <QStringList>

// Access files the user picks are read in a process of our own, leitor-access (tools/leitor-access):
// libmdb trusts the offsets a file holds, and a hostile file that crashes it, hangs it or makes it
// allocate without end then takes down only that process, within a time and a memory limit.
namespace tervalia {

struct LeituraAccess
{
    enum class Situacao {
        Lida,           // every table asked for, whole, in `tabelas`
        SemTabela,      // the file has no table `falha`; `tabelas` holds those asked before it
        TabelaIlegivel, // the table `falha` cannot be read; likewise
        Ilegivel,       // not an Access file, or the reader crashed, hung, went over its memory or output
                        // limit, printed anything but its framing, or could not be started
    };
    Situacao situacao = Situacao::Ilegivel;
    QList<access::TabelaLida> tabelas;
    QString falha;
};

// Runs leitor-access on `arquivo` for `tabelas` (names in any letter case) and waits for it. The
// wait holds window closes (BlockingWait) and user input and goes on processing other events; it
// needs a QCoreApplication. Never throws; nothing reaches the standard error.
LeituraAccess leTabelasAccess(const QString& arquivo, const QStringList& tabelas);

namespace leitoraccess {

struct Limites
{
    int tempoMs = 10'000;                 // 2,000 companies take under 10 ms
    qint64 memoria = 512LL * 1024 * 1024; // address space; 2,000 companies need 50 MB, mostly libraries
    qint64 saida = 16LL * 1024 * 1024;    // bytes of output; 2,000 companies print 230 kB
};
Limites limites();
// Tests shorten them; the memory limit is not applied in AddressSanitizer builds, whose shadow
// memory alone is far larger.
void setLimites(const Limites& limites);
bool limiteDeMemoriaAplicado();

// The helper run: the one named by the environment variable TERVALIA_LEITOR_ACCESS when set (the
// test registrations point it at the build's), otherwise leitor-access of the program directory or
// beside the executable (platform/ProgramDir.h, toolFile). Tests set another; empty goes back.
QString programa();
void setPrograma(const QString& caminho);

} // namespace leitoraccess

} // namespace tervalia
