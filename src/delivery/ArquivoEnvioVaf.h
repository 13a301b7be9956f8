#pragma once

#include <QString>

namespace tervalia {

// The file a VAF delivery posts: what the conversion (ConverteVAF) writes into the program
// directory for the server. Every window that posts it takes the path from here.
QString arquivoEnvioVaf();

// A window that posts the converted file later, while the other VAF window may convert another file
// meanwhile, keeps a copy of its own in temp/<pasta>/, under the same name. Returns the copy's path,
// or sets *erro (in Portuguese) and returns the empty text. descartaCopia removes the folder.
QString copiaArquivoEnvioVaf(const QString& pasta, QString* erro);
void descartaCopia(const QString& pasta);

// Both VAF windows convert into the same files of the program directory, and a conversion lets the
// interface work meanwhile: while one of these lives, no other conversion may start.
class ConversaoVafEmCurso
{
public:
    ConversaoVafEmCurso();
    ~ConversaoVafEmCurso();
    ConversaoVafEmCurso(const ConversaoVafEmCurso&) = delete;
    ConversaoVafEmCurso& operator=(const ConversaoVafEmCurso&) = delete;

    static bool ativa();
    // What a window says when it must wait for the other's conversion.
    static QString mensagemOcupado();
};

} // namespace tervalia
