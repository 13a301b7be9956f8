#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <functional>

// A backup of everything the user keeps in the program directory, as one .zip:
//   manifesto.json   what the backup holds (always the first entry)
//   dipam.db         a consistent copy of the database
//   dipam.ini        the settings, when there are any
//   entregas/...     the copies of the deliveries
// Restoring reads and checks the whole archive in a hidden folder of the program directory before
// it replaces anything; the replaced files stay beside as "<name>.antes-da-restauracao".
namespace tervalia {

struct Manifesto
{
    QString versao; // of the program that made the backup
    QDateTime data;
    int empresas = 0;
    int entregas = 0;
    int arquivos = 0; // entries after the manifest
    qint64 bytes = 0; // their total size
};

struct Progresso
{
    qint64 feito = 0;
    qint64 total = 0;       // 0 while the work is being prepared
    QString item;           // the file at hand, as named in the archive, or what is being done
    bool cancelavel = true; // false once a restore has begun to replace files
};
// Called often during a long copy; returning false stops it (nothing is then left changed).
using AoProgredir = std::function<bool(const Progresso&)>;

enum class Desfecho { Concluida, Cancelada, Falhou };

struct ResultadoCopia
{
    Desfecho desfecho = Desfecho::Falhou;
    QString erro; // in Portuguese
    Manifesto manifesto;
};

// "tervalia-AAAA-MM-DD.zip"
QString nomePadraoCopia(const QDate& dia);

// Writes the backup to destino (0600), through a hidden name beside it: a failed or cancelled
// backup leaves no file behind and an existing destino untouched.
ResultadoCopia criaCopiaSeguranca(const QString& destino, const AoProgredir& progresso);

struct LeituraManifesto
{
    bool ok = false;
    Manifesto manifesto;
    QString erro; // in Portuguese
};

// Reads only the manifest, to show it before anything is restored.
LeituraManifesto leManifesto(const QString& arquivo);

struct ResultadoRestauracao
{
    Desfecho desfecho = Desfecho::Falhou;
    QString erro; // in Portuguese
    Manifesto manifesto;
    int entregasNovas = 0;    // delivery folders added
    int entregasMantidas = 0; // already here, kept as they were
    QStringList guardados;    // the files kept as *.antes-da-restauracao
};

ResultadoRestauracao restauraCopiaSeguranca(const QString& arquivo, const AoProgredir& progresso);

} // namespace tervalia
