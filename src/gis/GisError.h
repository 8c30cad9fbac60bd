#pragma once

#include <stdexcept>
#include <string>

namespace gis
{

/**
 * The one exception type of the map component. Every failing operation of
 * the component throws it; callers catch it (or std::exception) in their
 * handler and report through ErrorMessage.
 */
class GisError : public std::runtime_error
{
  public:
    explicit GisError( const std::string &what ) : std::runtime_error( what ) {}
};

} // namespace gis
