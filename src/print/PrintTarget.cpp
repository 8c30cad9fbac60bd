#include "PrintTarget.h"

#include "CupsPrinter.h"

namespace
{

PrintTarget::Factory &installedFactory()
{
    static PrintTarget::Factory factory;
    return factory;
}

} // namespace

std::unique_ptr<PrintTarget> PrintTarget::create()
{
    if ( const Factory &factory = installedFactory() )
        return factory();
    return std::make_unique<CupsPrinter>( CupsCalls::system() );
}

void PrintTarget::install( Factory factory )
{
    installedFactory() = std::move( factory );
}
