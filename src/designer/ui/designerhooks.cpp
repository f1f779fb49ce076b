#include "designer/ui/designerhooks.h"

#include "designer/ui/piirtopohja.h"

namespace kelmor::designer::ui {

void ExchangeHooks::OpenProperties(TKuvio&) { window_.NotAvailable(); }
void ExchangeHooks::ConvertType(TKuvio&, const std::string&) { window_.NotAvailable(); }
void ExchangeHooks::ReceiveValues(TKuvio&) { window_.NotAvailable(); }
void ExchangeHooks::TransmitValues(TKuvio&) { window_.NotAvailable(); }
void ExchangeHooks::SelectPort(int) { window_.NotAvailable(); }
void ExchangeHooks::SecurityLevel() { window_.NotAvailable(); }

void PrintHooks::PropertyTable() { window_.NotAvailable(); }
void PrintHooks::PrintGraph() { window_.NotAvailable(); }
void PrintHooks::PrintAllProperties() { window_.NotAvailable(); }
void PrintHooks::PrintNodeProperties(TKuvio&) { window_.NotAvailable(); }

}  // namespace kelmor::designer::ui
