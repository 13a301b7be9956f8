#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

// .zip files through libarchive: this module is the only one that includes its headers.
namespace tervalia {

// What went wrong with an archive, so that the caller can word it.
struct FalhaZip
{
    enum Tipo {
        Nenhuma,
        Gravacao,   // the archive or a file could not be written; codigo is errno
        Leitura,    // a file to be archived could not be read; codigo is errno
        NaoEZip,    // the file is not a .zip at all
        Danificado, // a .zip that cannot be read to its end (truncated, bad CRC, bad headers)
        Cancelada,  // the caller asked to stop
    };
    Tipo tipo = Nenhuma;
    int codigo = 0;
    QString detalhe; // the library's or the system's own words, for the parentheses
};

// Writes a new .zip in one pass to an open file descriptor, which stays the caller's.
class EscritorZip
{
public:
    EscritorZip();
    ~EscritorZip();
    EscritorZip(const EscritorZip&) = delete;
    EscritorZip& operator=(const EscritorZip&) = delete;

    bool abre(int descritor);
    bool adicionaDados(const QString& nome, const QByteArray& dados, const QDateTime& modificado);
    // Streams the file at origem; lido is called after each piece with the bytes written so far and
    // stops the archive when it returns false.
    bool adicionaArquivo(const QString& nome, const QString& origem, const std::function<bool(qint64 lido)>& lido);
    // Writes the central directory. Nothing may be added after.
    bool conclui();

    const FalhaZip& falha() const;

private:
    struct Estado;
    std::unique_ptr<Estado> d;
};

// Reads a .zip from its central directory, entry after entry, checking each entry's CRC at its end.
class LeitorZip
{
public:
    struct Entrada
    {
        QString nome; // as stored, "/" separators
        bool pasta = false;
        bool arquivoComum = false; // false for links, devices and encrypted entries
        qint64 tamanho = 0;
    };
    enum class Passo { Entrada, Fim, Falha };

    LeitorZip();
    ~LeitorZip();
    LeitorZip(const LeitorZip&) = delete;
    LeitorZip& operator=(const LeitorZip&) = delete;

    bool abre(const QString& caminho);
    Passo proxima(Entrada& entrada);
    // The next piece of the current entry: its size, 0 at the entry's end (its CRC then checked),
    // -1 on failure.
    qint64 le(char* destino, qint64 maximo);

    const FalhaZip& falha() const;

private:
    struct Estado;
    std::unique_ptr<Estado> d;
};

} // namespace tervalia
