#pragma once

#include <functional>
#include <memory>

class QPainter;

/**
 * Where a printed page goes: one print job of one page. The program prints
 * to the system's default printer with its default paper and orientation,
 * without a dialog; tests install a factory of their own (a picture or a
 * PDF file) so that no test needs a printer.
 *
 * Use: beginPage(), paint with the painter it returns at dpiX() x dpiY(),
 * endPage() to send the page. After a failure at any step call abort(),
 * which drops the job so that nothing half-made is sent; it is safe in
 * any state.
 */
class PrintTarget
{
  public:
    virtual ~PrintTarget() = default;

    //! Opens the job and its page; throws gis::GisError when there is no printer or it cannot be opened.
    virtual QPainter &beginPage() = 0;
    //! Resolution of the page in pixels per inch, across and down (valid after beginPage()).
    virtual double dpiX() const = 0;
    virtual double dpiY() const = 0;
    //! Ends the page and sends the job; throws gis::GisError when that fails.
    virtual void endPage() = 0;
    //! Drops the job without sending anything; does nothing when no job is open.
    virtual void abort() = 0;

    using Factory = std::function<std::unique_ptr<PrintTarget>()>;
    //! A new job on the installed target (the default printer unless a factory is installed).
    static std::unique_ptr<PrintTarget> create();
    //! Installs \a factory; an empty one restores the default printer.
    static void install( Factory factory );
};
