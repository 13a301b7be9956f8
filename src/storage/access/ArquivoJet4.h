#pragma once

// The file being written, page by page: a hidden temporary file beside the target that takes the
// target's name only once complete, and is removed on any failure.

#include "FormatoJet4.h"

#include <QString>

namespace tervalia::access::jet4 {

class ArquivoJet4
{
public:
    explicit ArquivoJet4(const QString& destino);
    ~ArquivoJet4();
    ArquivoJet4(const ArquivoJet4&) = delete;
    ArquivoJet4& operator=(const ArquivoJet4&) = delete;

    bool abre();
    bool aberto() const { return m_fd >= 0; }

    // Reserves `quantas` pages at the end of the file (`primeira` is the first one's number); false
    // when the file would pass Access's size limit.
    bool reserva(int quantas, quint32& primeira);
    // Writes whole pages at `pagina` (reserved before).
    bool grava(quint32 pagina, const char* dados, int paginas = 1);
    // Reserves one page at the end and writes it; its number, or 0.
    quint32 anexa(const char* pagina);

    quint32 paginas() const { return m_paginas; }
    void limitaPaginas(qint64 paginas) { m_limite = paginas; }

    // Makes the file durable and gives it the target's name.
    bool conclui();
    void descarta();

    // What failed, in Portuguese, without the table's name.
    QString erro() const { return m_erro; }

private:
    bool falhou(const QString& motivo);
    bool falhouSistema(const char* acao, int codigo);

    QString m_destino;
    QString m_temporario;
    int m_fd = -1;
    quint32 m_paginas = 0;
    qint64 m_limite = paginasNoLimite;
    QString m_erro;
};

} // namespace tervalia::access::jet4
