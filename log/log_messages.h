#pragma once

// Every text the launcher writes to its log. "{}" marks a value that FillIn
// puts in, in order. README.txt explains each message in READING THE LOG, in
// an entry line that reads as the message does here with <a name> for each
// value; the release check holds the two together and refuses a log text
// that comes from anywhere else.

constexpr wchar_t kLogBanner[] = L"=== Orvel launcher başladı ===";
constexpr wchar_t kLogConfigMissing[] = L"Config bulunamadı, varsayılanlar kullanılacak.";
constexpr wchar_t kLogConfigUnreadable[] = L"Config açılamadı, varsayılanlar kullanılacak.";
constexpr wchar_t kLogConfigLoading[] = L"Config yükleniyor: {}";
constexpr wchar_t kLogConfigLoaded[] = L"Config yüklendi.";
constexpr wchar_t kLogBothSwitches[] = L"Hem -dx11 hem -dx12 verildi, -dx12 öncelikli.";
constexpr wchar_t kLogGpuSelected[] = L"Seçilen GPU: {}, VRAM={} GB";
constexpr wchar_t kLogDxgiFactoryFailed[] = L"DXGI Factory oluşturulamadı.";
constexpr wchar_t kLogCpuNameUnreadable[] = L"CPU adı registry'den okunamadı.";
constexpr wchar_t kLogCpu[] = L"CPU: {}, Threads={}";
constexpr wchar_t kLogCpuWeak[] = L"CPU zayıf: Threads={} < {} → DX11";
constexpr wchar_t kLogNvidiaRtx[] = L"NVIDIA RTX tespit (model={})";
constexpr wchar_t kLogAmdRx[] = L"AMD RX tespit (model={})";
constexpr wchar_t kLogHighVram[] = L"Yüksek VRAM nedeniyle DX12 ({} GB)";
constexpr wchar_t kLogBorderline[] = L"Sınır durum → PreferDx12={}";
constexpr wchar_t kLogDecision[] = L"Karar: {}";
constexpr wchar_t kLogGameNotFound[] = L"HATA: Oyun exe bulunamadı: {}";
constexpr wchar_t kLogStarting[] = L"Çalıştırılıyor: {}";
constexpr wchar_t kLogCommandLineTooLong[] = L"HATA: Komut satırı çok uzun: {} karakter, sınır {}";
constexpr wchar_t kLogCreateProcessFailed[] = L"CreateProcessW başarısız. Hata: {}";
constexpr wchar_t kLogExited[] = L"Orvel launcher çıktı (rc={})";

// A run that cannot end normally: each follows the lines written so far.
constexpr wchar_t kLogStillRunning[] = L"Launcher 10 saniyedir bitmedi, hâlâ çalışıyor.";
constexpr wchar_t kLogSlowRunEnded[] = L"Launcher {} saniyede bitti.";
constexpr wchar_t kLogEndedByClose[] = L"Launcher, konsol penceresi kapatıldığı için sonlandı.";
constexpr wchar_t kLogEndedByCtrlC[] = L"Launcher, Ctrl+C ile sonlandırıldı.";
constexpr wchar_t kLogEndedByCtrlBreak[] = L"Launcher, Ctrl+Break ile sonlandırıldı.";
constexpr wchar_t kLogOutOfMemory[] = L"HATA: Bellek yetersiz, launcher durdu.";
constexpr wchar_t kLogUnexpectedException[] = L"HATA: Beklenmeyen bir C++ istisnası, launcher durdu.";
constexpr wchar_t kLogTerminate[] = L"HATA: Launcher std::terminate ile sonlandı.";
constexpr wchar_t kLogAbort[] = L"HATA: Launcher abort() ile sonlandı.";
constexpr wchar_t kLogPureVirtualCall[] = L"HATA: Launcher saf sanal işlev çağrısı (pure virtual call) ile sonlandı.";
constexpr wchar_t kLogInvalidParameter[] = L"HATA: Launcher geçersiz parametre (invalid parameter) ile sonlandı.";
constexpr wchar_t kLogCrash[] = L"HATA: Orvel launcher çöktü. İstisna kodu: {}, adres: {}";
constexpr wchar_t kLogCrashFrames[] = L"HATA: Launcher çağrı zinciri: {}";
constexpr wchar_t kLogCrashBuild[] = L"HATA: Launcher sürümü: {}, derleme kimliği (build ID): {}";
