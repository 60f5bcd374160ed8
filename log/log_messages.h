#pragma once

#include "log/log_message.h"

// Every text the launcher writes to its log. "{}" marks a value that FillIn
// puts in, in order; the type says how many. README.txt and BENIOKU.txt
// explain each message in their guide to the log, in an entry line that reads
// as the message does here with <a name> for each value; the release check
// holds the three together.

constexpr LogMessage<0> kLogBanner{L"=== Orvel launcher başladı ==="};
constexpr LogMessage<0> kLogConfigMissing{L"Config bulunamadı, varsayılanlar kullanılacak."};
constexpr LogMessage<0> kLogConfigUnreadable{L"Config açılamadı, varsayılanlar kullanılacak."};
constexpr LogMessage<1> kLogConfigLoading{L"Config yükleniyor: {}"};
constexpr LogMessage<0> kLogConfigLoaded{L"Config yüklendi."};
constexpr LogMessage<0> kLogBothSwitches{L"Hem -dx11 hem -dx12 verildi, -dx12 öncelikli."};
constexpr LogMessage<2> kLogGpuSelected{L"Seçilen GPU: {}, VRAM={} GB"};
constexpr LogMessage<0> kLogDxgiFactoryFailed{L"DXGI Factory oluşturulamadı."};
constexpr LogMessage<0> kLogCpuNameUnreadable{L"CPU adı registry'den okunamadı."};
constexpr LogMessage<2> kLogCpu{L"CPU: {}, Threads={}"};
constexpr LogMessage<2> kLogCpuWeak{L"CPU zayıf: Threads={} < {} → DX11"};
constexpr LogMessage<1> kLogNvidiaRtx{L"NVIDIA RTX tespit (model={})"};
constexpr LogMessage<1> kLogAmdRx{L"AMD RX tespit (model={})"};
constexpr LogMessage<1> kLogHighVram{L"Yüksek VRAM nedeniyle DX12 ({} GB)"};
constexpr LogMessage<1> kLogBorderline{L"Sınır durum → PreferDx12={}"};
constexpr LogMessage<1> kLogDecision{L"Karar: {}"};
constexpr LogMessage<1> kLogGameNotFound{L"HATA: Oyun exe bulunamadı: {}"};
constexpr LogMessage<1> kLogStarting{L"Çalıştırılıyor: {}"};
constexpr LogMessage<2> kLogCommandLineTooLong{L"HATA: Komut satırı çok uzun: {} karakter, sınır {}"};
constexpr LogMessage<1> kLogCreateProcessFailed{L"CreateProcessW başarısız. Hata: {}"};
constexpr LogMessage<1> kLogExited{L"Orvel launcher çıktı (rc={})"};

// A run that cannot end normally: each follows the lines written so far.
constexpr LogMessage<0> kLogStillRunning{L"Launcher 10 saniyedir bitmedi, hâlâ çalışıyor."};
constexpr LogMessage<1> kLogSlowRunEnded{L"Launcher {} saniyede bitti."};
constexpr LogMessage<0> kLogEndedByClose{L"Launcher, konsol penceresi kapatıldığı için sonlandı."};
constexpr LogMessage<0> kLogEndedByCtrlC{L"Launcher, Ctrl+C ile sonlandırıldı."};
constexpr LogMessage<0> kLogEndedByCtrlBreak{L"Launcher, Ctrl+Break ile sonlandırıldı."};
constexpr LogMessage<0> kLogOutOfMemory{L"HATA: Bellek yetersiz, launcher durdu."};
constexpr LogMessage<0> kLogUnexpectedException{L"HATA: Beklenmeyen bir C++ istisnası, launcher durdu."};
constexpr LogMessage<0> kLogTerminate{L"HATA: Launcher std::terminate ile sonlandı."};
constexpr LogMessage<0> kLogAbort{L"HATA: Launcher abort() ile sonlandı."};
constexpr LogMessage<0> kLogPureVirtualCall{
    L"HATA: Launcher saf sanal işlev çağrısı (pure virtual call) ile sonlandı."};
constexpr LogMessage<0> kLogInvalidParameter{L"HATA: Launcher geçersiz parametre (invalid parameter) ile sonlandı."};
constexpr LogMessage<2> kLogCrash{L"HATA: Orvel launcher çöktü. İstisna kodu: {}, adres: {}"};
constexpr LogMessage<1> kLogCrashFrames{L"HATA: Launcher çağrı zinciri: {}"};
constexpr LogMessage<2> kLogCrashBuild{L"HATA: Launcher sürümü: {}, derleme kimliği (build ID): {}"};
