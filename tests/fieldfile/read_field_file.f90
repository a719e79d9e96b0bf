! An independent consumer of korvane's field files: reads a format 0 file with plain
! unformatted sequential reads and a format 1 file with list-directed reads, and prints
! every value it read, one a line, so the test can compare them with what was written.
! Standard input: nx ny nz ncomponents, then the two file names, one a line.
program read_field_file
  implicit none
  integer :: nx, ny, nz, nc, kseh, ks(3), iend, c, ios, extra
  double precision :: d_elm, aper
  double precision, allocatable :: x(:), y(:), z(:), a(:)
  character(len=512) :: name0, name1

  read (*, *) nx, ny, nz, nc
  read (*, '(A)') name0
  read (*, '(A)') name1
  allocate (x(nx), y(ny), z(nz), a(nx*ny*nz))

  open (10, file=trim(name0), status='old', form='unformatted', access='sequential')
  read (10) d_elm, aper, kseh
  read (10) ks
  read (10) x
  read (10) y
  read (10) z
  call put_header()
  do c = 1, nc
    read (10) a
    call put_reals(a)
  end do
  read (10) iend
  write (*, '(I12)') iend
  read (10, iostat=ios) extra
  write (*, '(I12)') ios
  close (10)

  open (11, file=trim(name1), status='old', form='formatted')
  read (11, *) d_elm, aper, kseh
  read (11, *) ks
  read (11, *) x
  read (11, *) y
  read (11, *) z
  call put_header()
  do c = 1, nc
    read (11, *) a
    call put_reals(a)
  end do
  read (11, *) iend
  write (*, '(I12)') iend
  read (11, *, iostat=ios) extra
  write (*, '(I12)') ios
  close (11)

contains

  subroutine put_header()
    write (*, '(ES26.17E3)') d_elm, aper
    write (*, '(I12)') kseh, ks
    call put_reals(x)
    call put_reals(y)
    call put_reals(z)
  end subroutine put_header

  subroutine put_reals(v)
    double precision, intent(in) :: v(:)
    integer :: i
    do i = 1, size(v)
      write (*, '(ES26.17E3)') v(i)
    end do
  end subroutine put_reals

end program read_field_file
