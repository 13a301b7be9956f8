#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QToolButton;

namespace tervalia {

// The upload controls both delivery windows carry: the progress (lblSendSpeed, ProgressBar1), shown
// only while an upload is under way, and the technical details behind "Detalhes técnicos" (txtUrl,
// txtName, txtMIMEType, txtUploadFile, txtRequest, txtResponse with their captions). Clicking a
// caption puts the focus on its control; a text box that gets the focus selects its whole text.
// The fields the program fills (txtUrl, txtUploadFile, txtRequest, txtResponse) are read-only and
// look it.
class PainelUpload : public QWidget
{
    Q_OBJECT

public:
    explicit PainelUpload(QWidget* parent = nullptr);
    ~PainelUpload() override;

    QLineEdit* txtUrl;
    QLineEdit* txtName;
    QLineEdit* txtMIMEType;
    QLineEdit* txtUploadFile;
    QPlainTextEdit* txtRequest;
    QPlainTextEdit* txtResponse;
    QLabel* lblSendSpeed;
    QProgressBar* ProgressBar1;
    QToolButton* detalhes; // shows or hides the technical details

    void setDetalhesVisiveis(bool visiveis);
    // An upload starts: the progress appears at its initial text. Ended: it goes again.
    void iniciaProgresso();
    void limpaProgresso();

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    QLabel* rotulo(const char* nome, const QString& texto, QWidget* controle);

    QWidget* m_detalhes;
};

} // namespace tervalia
