! Writes tests/fixtures/format_cases.txt: for each case a layout, the values
! and the records that gfortran's formatted WRITE produces for them.
! Run through tools/format_oracle.sh.
!
! Fixture format, one case after the other:
!   layout <layout, with n*F10.4 repeat counts allowed>
!   i <integer> | r <REAL*4> | d <REAL*8> | t "<text>"     one line per value
!   |<record>                                              one line per record
!   end
! Lines starting with '#' are comments.
module oracle
  use, intrinsic :: ieee_arithmetic
  implicit none
  integer, parameter :: dp = kind(1.0d0)
  integer, parameter :: maxv = 200
  integer :: nv = 0
  character :: vk(maxv)
  integer :: vi(maxv)
  real :: vr(maxv)
  real(dp) :: vd(maxv)
  character(len=100) :: vt(maxv)
  integer :: vtl(maxv)
  character(len=1000) :: cur_layout
  character(len=1002) :: fmt
  integer :: sc = -1
contains
  ! The value functions record each item as the WRITE evaluates it, so the
  ! values line of a case cannot drift from the items actually written.
  integer function i_(x)
    integer, intent(in) :: x
    nv = nv + 1; vk(nv) = 'i'; vi(nv) = x; i_ = x
  end function

  real function r_(x)
    real, intent(in) :: x
    nv = nv + 1; vk(nv) = 'r'; vr(nv) = x; r_ = x
  end function

  real(dp) function d_(x)
    real(dp), intent(in) :: x
    nv = nv + 1; vk(nv) = 'd'; vd(nv) = x; d_ = x
  end function

  function t_(x) result(s)
    character(len=*), intent(in) :: x
    character(len=len(x)) :: s
    nv = nv + 1; vk(nv) = 't'; vt(nv) = x; vtl(nv) = len(x); s = x
  end function

  ! Start a case: the layout as the program writes it, and the Fortran
  ! format made from it (repeat counts written n* lose their '*').
  subroutine lay(l)
    character(len=*), intent(in) :: l
    integer :: k, n
    character :: q
    cur_layout = l
    q = ' '
    n = 1
    fmt = '('
    do k = 1, len(l)
      if (q /= ' ') then
        if (l(k:k) == q) q = ' '
      else if (l(k:k) == '"' .or. l(k:k) == "'") then
        q = l(k:k)
      else if (l(k:k) == '*') then
        cycle
      end if
      n = n + 1
      fmt(n:n) = l(k:k)
    end do
    fmt(n+1:n+1) = ')'
    nv = 0
    open(newunit=sc, status='scratch', form='formatted', action='readwrite')
  end subroutine

  ! Finish a case: copy layout, values and the records written to the
  ! scratch unit (trailing blanks kept) to standard output.
  subroutine emit()
    character(len=4000) :: buf
    character(len=40) :: num
    integer :: k, n, ios
    write(*, '(A)') 'layout ' // trim(cur_layout)
    do k = 1, nv
      select case (vk(k))
      case ('i')
        write(num, '(I0)') vi(k)
        write(*, '(A)') 'i ' // trim(num)
      case ('r')
        write(num, '(ES16.8E2)') vr(k)
        write(*, '(A)') 'r ' // trim(adjustl(num))
      case ('d')
        write(num, '(ES25.16E3)') vd(k)
        write(*, '(A)') 'd ' // trim(adjustl(num))
      case ('t')
        write(*, '(A)') 't "' // vt(k)(1:vtl(k)) // '"'
      end select
    end do
    rewind(sc)
    do
      read(sc, '(A)', advance='no', size=n, iostat=ios) buf
      if (is_iostat_end(ios)) exit
      if (ios /= 0 .and. .not. is_iostat_eor(ios)) stop 'read error'
      write(*, '(A)') '|' // buf(1:n)
    end do
    write(*, '(A)') 'end'
    close(sc)
  end subroutine
end module

program format_oracle
  use oracle
  implicit none
  integer :: k
  real :: nan, inf, ff(60)
  real :: cell(14)

  nan = ieee_value(nan, ieee_quiet_nan)
  inf = ieee_value(inf, ieee_positive_inf)
  do k = 1, 60
    ff(k) = 14.0 * exp(-0.35 * (0.1 * (k - 1))**2 * 16.0) + 0.0137 * k
  end do
  cell = [5.4309, 5.4309, 5.4309, 90.0, 90.0, 90.0, 160.1853, &
          0.184131, 0.184131, 0.184131, 90.0, 90.0, 90.0, 0.00624277]

  write(*, '(A)') '# Expected records of formatted WRITE statements, made by gfortran.'
  write(*, '(A)') '# Regenerate with tools/format_oracle.sh; see tools/format_oracle.f90 for the format.'

  ! Iw: width, sign, overflow, minimum digits, minimal width
  call lay('I5,I5,I3,I3,I3,I3')
  write(sc, fmt) i_(42), i_(-42), i_(-99), i_(-100), i_(1000), i_(0)
  call emit()
  call lay('I10,"|",I11,"|",I10')
  write(sc, fmt) i_(huge(1)), i_(-huge(1) - 1), i_(-huge(1) - 1)
  call emit()
  call lay('I0,"|",I0,"|",I5.3,"|",I5.3,"|",I2.2,"|",I4.0,"|"')
  write(sc, fmt) i_(0), i_(-17), i_(7), i_(-7), i_(-7), i_(0)
  call emit()

  ! Fw.d: plain values, optional leading zero, negative values
  call lay('F10.4,F10.4,F8.1,F6.3')
  write(sc, fmt) r_(123.4567), r_(-3.25), r_(1000.05), r_(1.0)
  call emit()
  call lay('F4.2,"|",F3.2,"|",F5.2,"|",F4.2,"|",F3.2,"|",F2.1,"|",F4.1')
  write(sc, fmt) r_(0.5), r_(0.5), r_(-0.5), r_(-0.5), r_(-0.5), r_(0.04), r_(-0.04)
  call emit()
  ! zero, negative zero and negative values that round to zero
  call lay('F5.2,"|",F5.2,"|",F5.1,"|",F5.2,"|",F4.2,"|",F3.2,"|",F6.3')
  write(sc, fmt) r_(0.0), r_(0.001), r_(-0.0), r_(-0.001), r_(-0.004), r_(-0.004), r_(-0.0004)
  call emit()
  ! d = 0
  call lay('F10.0,"|",F10.0,"|",F5.0,"|",F2.0,"|",F1.0,"|",F3.0')
  write(sc, fmt) r_(123.4), r_(-0.4), r_(0.0), r_(0.4), r_(0.4), r_(-99.6)
  call emit()
  ! rounding of the exact binary value; exact ties go to even
  call lay('F4.1,F4.1,F4.1,F5.2,F5.2,F5.2,F5.2,F3.0,F3.0,F3.0,F3.0')
  write(sc, fmt) r_(0.25), r_(0.35), r_(0.05), r_(0.125), r_(0.375), r_(0.625), r_(-0.125), &
                 r_(0.5), r_(1.5), r_(2.5), r_(3.5)
  call emit()
  call lay('F12.8,F13.9,F16.6,F8.3')
  write(sc, fmt) r_(0.1), r_(0.1), r_(16777217.0), r_(2.0005)
  call emit()
  ! rounding up into a wider field, overflow
  call lay('F5.2,"|",F4.2,"|",F6.1,"|",F6.2,"|",F7.2,"|",F5.1')
  write(sc, fmt) r_(9.999), r_(9.999), r_(1.0e30), r_(-999.995), r_(-999.995), r_(99999.0)
  call emit()
  call lay('F45.1')
  write(sc, fmt) r_(1.0e30)
  call emit()
  call lay('F0.2,"|",F0.0,"|",F0.1,"|",F0.3')
  write(sc, fmt) r_(3.14159), r_(0.4), r_(-0.04), r_(12.5)
  call emit()

  ! Ew.d
  call lay('E12.4,E12.4,E10.4,E12.4,E12.4')
  write(sc, fmt) r_(123.456), r_(-123.456), r_(-123.456), r_(0.0), r_(-0.0)
  call emit()
  call lay('E10.2,E10.2,E10.2,E10.2,E12.4,E10.3')
  write(sc, fmt) r_(0.125), r_(9.995), r_(0.9999), r_(1.0), r_(99999.5), r_(0.0001)
  call emit()
  call lay('E12.4,"|",E12.4,"|",E12.4,"|",E8.2,"|",E7.2,"|",E6.2')
  write(sc, fmt) r_(1.0e38), r_(-3.4e38), r_(1.5e-38), r_(-1.0e-30), r_(1.0e-30), r_(1.0e-30)
  call emit()
  call lay('E9.3,"|",E9.3,"|",E9.3,"|",E8.3,"|",E10.1')
  write(sc, fmt) r_(0.0), r_(0.0001), r_(-0.0001), r_(-0.0001), r_(-7.75)
  call emit()
  call lay('E12.4E3,"|",E12.4E1,"|",E12.4E1,"|",D12.4')
  write(sc, fmt) r_(123.45), r_(1.0e-30), r_(2.5), r_(123.45)
  call emit()

  ! NaN and infinities
  call lay('F10.3,"|",F10.3,"|",F10.3,"|",F3.1,"|",F2.1,"|",F8.1,"|",F4.1,"|",F3.1')
  write(sc, fmt) r_(nan), r_(inf), r_(-inf), r_(inf), r_(inf), r_(-inf), r_(-inf), r_(-inf)
  call emit()
  call lay('E10.3,"|",E8.3,"|",E7.3,"|",E9.3,"|",E4.1,"|",E3.1,"|",E2.1,"|",I5')
  write(sc, fmt) r_(nan), r_(inf), r_(inf), r_(-inf), r_(-inf), r_(-inf), r_(nan), i_(1)
  call emit()

  ! double precision items
  call lay('F20.10,"|",F25.17,"|",E12.4,"|",E12.4,"|",E12.4')
  write(sc, fmt) d_(0.1d0), d_(0.1d0), d_(1.0d200), d_(-1.0d-200), d_(1.0d-5)
  call emit()

  ! Aw and A
  call lay('A8,"|",A3,"|",A,"|",A5,"|",A,"|",A4')
  write(sc, fmt) t_('abc'), t_('abcdef'), t_('hello world'), t_('ab  '), t_('x  '), t_('Si')
  call emit()
  call lay('A,"|",A3,"|"')
  write(sc, fmt) t_(''), t_('')
  call emit()

  ! nX: blanks that are followed by output; trailing ones end with the record
  call lay('I3,5X,I3,1X,A,3X')
  write(sc, fmt) i_(1), i_(2), t_('z')
  call emit()
  call lay('5X,"c",2X,/,4X,A,X,"|"')
  write(sc, fmt) t_('q')
  call emit()
  call lay('A,5X,""')
  write(sc, fmt) t_('ab')
  call emit()

  ! records: "/" with and without commas, several in a row, at the end
  call lay('/,/," Volume:",F12.4')
  write(sc, fmt) r_(160.1853)
  call emit()
  call lay('"a"//"b"///"c",/')
  write(sc, fmt)
  call emit()
  call lay('I3/I3,/,/,I3/')
  write(sc, fmt) i_(1), i_(2), i_(3)
  call emit()
  call lay('/')
  write(sc, fmt)
  call emit()
  call lay('A,3/"x"')
  write(sc, fmt) t_('y')
  call emit()

  ! quoted text, double and single quotes, doubled quote marks
  call lay('"He said ""hi""",'' it''''s'',1X,''"q"''')
  write(sc, fmt)
  call emit()

  ! repeat counts both ways, groups, nested groups
  call lay('3*F6.2,2X,3F6.1,2*I3,2I3')
  write(sc, fmt) (r_(0.5 * k), k = 1, 6), (i_(k), k = 1, 4)
  call emit()
  call lay('I2,2(I3,3*(I4)),"|"')
  write(sc, fmt) (i_(k), k = 1, 9)
  call emit()
  call lay('2(A,2("<",I1,">")),"|"')
  write(sc, fmt) t_('a'), i_(1), i_(2), t_('b'), i_(3), i_(4)
  call emit()

  ! output stops at the first data descriptor without an item
  call lay('"a",I3,"b"')
  write(sc, fmt)
  call emit()
  call lay('I3,"b",2X,"c",I3,"d"')
  write(sc, fmt) i_(1)
  call emit()
  call lay('I3,/,I3')
  write(sc, fmt) i_(1)
  call emit()
  call lay('I3,:,"b"')
  write(sc, fmt) i_(1)
  call emit()
  call lay('" x"')
  write(sc, fmt)
  call emit()

  ! reversion: no group (restart at the beginning), top-level group with its
  ! repeat count, nested groups, a layout ending in "/"
  call lay('I2,F8.3')
  write(sc, fmt) i_(1), r_(2.5), i_(3), r_(4.5), i_(5)
  call emit()
  call lay('"<",2(I3,1X),I2')
  write(sc, fmt) (i_(k), k = 1, 7)
  call emit()
  call lay('I2,(I3,(I4)),I5')
  write(sc, fmt) (i_(k), k = 1, 7)
  call emit()
  call lay('I2,2(I3,3(I4))')
  write(sc, fmt) (i_(k), k = 1, 12)
  call emit()
  call lay('"h",2(I2),"m",(I3),"t"')
  write(sc, fmt) (i_(k), k = 1, 6)
  call emit()
  call lay('I3,/')
  write(sc, fmt) i_(1), i_(2)
  call emit()
  call lay('" n=",I2,/,(5F6.1)')
  write(sc, fmt) i_(12), (r_(0.5 * k), k = 1, 12)
  call emit()

  ! layouts of the listing
  call lay('/, /, " Lattice constants input by the user:", /, 3*F10.4, 2X, 3*F10.2, /, " Volume:", F12.4, /, /, ' // &
           '" Reciprocal lattice constants:", /, 3*F10.4, 2X, 3*F10.2, /, " Reciprocal volume:", F12.6')
  write(sc, fmt) (r_(cell(k)), k = 1, 14)
  call emit()
  call lay('/,/," Lattice constants input by the user:",/,3*F10.4,2X,3*F10.2,/," Volume:",F12.4')
  write(sc, fmt) (r_(cell(k)), k = 1, 7)
  call emit()
  call lay('/, 1X, A4, ":", I3, " atoms with atomic number", I3, /, /, " f'':", F8.4, 5X, "f'''':", F8.4, /, /, ' // &
           '" f : (sin(theta)/lambda = 0., 0.1, 0.2, ... 5.9)", /, /, (10*F7.3)')
  write(sc, fmt) t_('Si  '), i_(8), i_(14), r_(0.2541), r_(0.3302), (r_(ff(k)), k = 1, 60)
  call emit()
  call lay('(10*F7.3)')
  write(sc, fmt) (r_(ff(k)), k = 1, 60)
  call emit()
  call lay('/, 1X, A4, ":", F5.2, " atoms with atomic number", I3, ", coherent scattering length:", F8.4')
  write(sc, fmt) t_('Ni  '), r_(3.5), i_(28), r_(1.03)
  call emit()
  call lay('/, 1X, A4, F9.6, 2X, 3*F10.6, /, " beta:", 6*F10.6, /, " u   :", 6*F10.6')
  write(sc, fmt) t_('O   '), r_(1.0), r_(0.125), r_(-0.3), r_(0.0), &
                 (r_(0.001 * k), k = 1, 6), (r_(0.0125 * k), k = 1, 6)
  call emit()
  call lay('" Space-group-Nr.   : ",I3,5X," Centrosymmetric     Space-group: ",A30,"|"')
  write(sc, fmt) i_(227), t_('F d -3 m ; origin at centre')
  call emit()
  call lay('I3," symmetry operators:",/,4(A3,3*A2,",",A3,3*A2,",",A3,3*A2,";",2X)')
  write(sc, fmt) i_(2), t_('   '), t_('+x'), t_('  '), t_('  '), t_('   '), t_('  '), t_('+y'), t_('  '), &
                 t_('   '), t_('  '), t_('  '), t_('+z'), t_('   '), t_('-x'), t_('  '), t_('  '), &
                 t_('1/2'), t_('  '), t_('+y'), t_('  '), t_('1/2'), t_('  '), t_('  '), t_('-z')
  call emit()
  call lay('" ",3I3,F8.3,2F10.2,F8.4,2F8.2,F8.2,F10.4,F10.2,E10.2')
  write(sc, fmt) i_(2), i_(-2), i_(0), r_(23.654), r_(1234.5678), r_(-87.25), r_(0.9123), &
                 r_(12.5), r_(0.875), r_(3.75), r_(0.98765), r_(250.5), r_(12345.678)
  call emit()
  call lay('" ",3I3,F8.3,2X,F10.0,F10.2,2F7.3,F7.2,F8.1,F8.3,F8.2,E10.2')
  write(sc, fmt) i_(1), i_(1), i_(1), r_(14.221), r_(98765.4), r_(55.5), r_(0.5), r_(0.25), &
                 r_(1.5), r_(12.25), r_(0.0625), r_(7.5), r_(0.000123)
  call emit()
  call lay('2(3*I4,F8.2,F7.1,F7.2),2*F12.2,2*F6.2,A5,F8.2,F9.3,F6.3,F8.2')
  write(sc, fmt) i_(1), i_(-1), i_(3), r_(45.6), r_(-179.9), r_(14.22), &
                 i_(0), i_(2), i_(-2), r_(33.3), r_(180.0), r_(23.65), &
                 r_(123456.78), r_(-0.004), r_(0.5), r_(1.25), t_('*'), r_(-12.5), r_(127.123), &
                 r_(0.005), r_(-0.125)
  call emit()
  call lay('/,/," Number of multiple diffraction events in the 360 degree psi-scan",/,' // &
           '" (K-alpha1 + K-alpha2) with intensity > ",E10.2," : ",I10')
  write(sc, fmt) r_(0.01 * 25.0), i_(137)
  call emit()
  call lay('" Maximum possible h, k, l  :",3*I5,/," Reference direction       :",3*F5.1,3X,/')
  write(sc, fmt) i_(4), i_(4), i_(4), r_(1.0), r_(0.0), r_(-1.0)
  call emit()
  call lay('2F6.1 " m"')
  write(sc, fmt) r_(22.0 * 28.34645), r_(3.9 * 28.34645)
  call emit()
  call lay('"(",F5.2,") s"')
  write(sc, fmt) r_(3.5)
  call emit()
end program
