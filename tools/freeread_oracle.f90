! Reference for the list-directed reader in io/read.cpp: reads standard input
! with gfortran's own list-directed READ and prints the status, the targets
! (-99 = left unchanged) and the record that follows the read.
!
!   gfortran -o /tmp/freeread_oracle tools/freeread_oracle.f90
!   printf '1 2*\n3\nNEXT\n' | /tmp/freeread_oracle i3
!
! Targets by argument: i3 (three integers), r3 (three reals), i1, r1.
! gfortran status: 0 read, above 0 read error, below 0 end of file.
program freeread_oracle
  implicit none
  integer :: i1, i2, i3, ios, ios2
  real :: r1, r2, r3
  character(len=16) :: mode
  character(len=200) :: nxt
  i1 = -99; i2 = -99; i3 = -99; r1 = -99.; r2 = -99.; r3 = -99.
  call get_command_argument(1, mode)
  select case (trim(mode))
  case ('i3')
    read (*, *, iostat=ios) i1, i2, i3
    print '(A,I0,A,3(1X,I0))', 'status=', ios, ' values=', i1, i2, i3
  case ('r3')
    read (*, *, iostat=ios) r1, r2, r3
    print '(A,I0,A,3(1X,G0))', 'status=', ios, ' values=', r1, r2, r3
  case ('i1')
    read (*, *, iostat=ios) i1
    print '(A,I0,A,1X,I0)', 'status=', ios, ' values=', i1
  case ('r1')
    read (*, *, iostat=ios) r1
    print '(A,I0,A,1X,G0)', 'status=', ios, ' values=', r1
  case default
    print '(A)', 'argument: i3, r3, i1 or r1'
    stop
  end select
  read (*, '(A)', iostat=ios2) nxt
  if (ios2 == 0) then
    print '(A,A,A)', 'next=[', trim(nxt), ']'
  else
    print '(A,I0)', 'next status=', ios2
  end if
end program
