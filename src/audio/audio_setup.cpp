#include "audio/audio_setup.h"

namespace jov {

std::string StringResource(int id, UiLanguage language) {
    const bool ja = language == UiLanguage::Japanese;
    switch (id) {
        case 500: return ja ? "* エラーメッセージ" : "* Error Messages";
        case 501:
            return ja ? "DirectXの初期化に失敗しました。DirectX7以降が正常にインストールされていることを確認してください。"
                      : "DirectX initialize has failed. Please check that DirectX7(later) has successfully installed in "
                        "your computer.";
        case 502: return ja ? "DirectSoundの初期化に失敗しました。" : "DirectSound initialize has failed.";
        case 503: return ja ? "DirectDrawの初期化に失敗しました。" : "DirectDraw initialize has failed.";
        default: return {};
    }
}

}  // namespace jov
